# fuzz.cmake -- libFuzzer targets for the Cg preprocessor and translator and the height-map loader
# (clang only).
if(HALMWIND_BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "HALMWIND_BUILD_FUZZERS needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
    endif()
    # The code under test is compiled into each target, so all of it carries coverage feedback.
    set(HALMWIND_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    function(halmwind_add_fuzzer name)
        add_executable(${name} ${ARGN})
        target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
        target_compile_options(${name} PRIVATE ${HALMWIND_WARNINGS} ${HALMWIND_FUZZ_FLAGS})
        target_link_options(${name} PRIVATE ${HALMWIND_FUZZ_FLAGS})
    endfunction()

    halmwind_add_fuzzer(fuzz_cg_translate tests/fuzz/cg_translate_fuzz.cpp ${HALMWIND_CG_SOURCES})
    halmwind_add_fuzzer(fuzz_cg_preprocess tests/fuzz/cg_preprocess_fuzz.cpp ${HALMWIND_CG_SOURCES})
    halmwind_add_fuzzer(fuzz_height_map tests/fuzz/height_map_fuzz.cpp scene/height_map.cpp
        platform/linux/message_box.cpp platform/text_encoding.cpp)
    target_include_directories(fuzz_height_map PRIVATE ${HALMWIND_PLATFORM_DIR})
    target_link_libraries(fuzz_height_map PRIVATE SDL2::SDL2 PkgConfig::EPOXY)
endif()
