# capture.cmake -- halmwind_capture: the scene with a scripted keyboard, frames written as PNG.
# The tests run the tool, so they need it even when the other tools are off.
if(NOT HALMWIND_BUILD_TOOLS AND NOT HALMWIND_BUILD_TESTS)
    return()
endif()

find_package(PNG REQUIRED)

add_executable(halmwind_capture tools/capture.cpp tools/capture_options.cpp)
target_compile_options(halmwind_capture PRIVATE ${HALMWIND_WARNINGS})
target_link_libraries(halmwind_capture PRIVATE halmwind_core PNG::PNG)

if(HALMWIND_BUILD_TESTS)
    # The tests read the key script directly and the written PNGs through libpng.
    target_sources(halmwind_tests PRIVATE tools/capture_options.cpp)
    target_link_libraries(halmwind_tests PRIVATE PNG::PNG)
    target_compile_definitions(halmwind_tests PRIVATE
        HALMWIND_CAPTURE="$<TARGET_FILE:halmwind_capture>")
    add_dependencies(halmwind_tests halmwind_capture)
endif()
