# windows.cmake -- the Windows build: halmwind.exe over Win32, WGL, OPENGL32 and GLU32; the
# portable core's unit tests as halmwind_unit_tests.exe, run under Wine; the zip for users,
# dist/halmwind-win32.zip from the 32-bit toolchain and dist/halmwind-win64.zip from the 64-bit one.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(HALMWIND_WINDOWS_BITS 64)
else()
    set(HALMWIND_WINDOWS_BITS 32)
    # The x87 unit keeps doubles in 80 bits and rounds them at unpredictable places; SSE2 rounds
    # every double operation as x86-64 does, so the values the tests fix come out bit for bit
    # alike. The 64-bit compiler does so already.
    target_compile_options(halmwind_core PUBLIC -msse2 -mfpmath=sse)
endif()
target_link_libraries(halmwind_core PUBLIC opengl32 glu32 gdi32 user32 kernel32)
# The compiler's runtime goes into the .exe: nothing but Windows' own DLLs is needed.
set(HALMWIND_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

add_executable(halmwind WIN32 platform/win32/win_main.cpp)
target_compile_options(halmwind PRIVATE ${HALMWIND_WARNINGS})
target_link_libraries(halmwind PRIVATE halmwind_core)
target_link_options(halmwind PRIVATE ${HALMWIND_STATIC_RUNTIME})

if(HALMWIND_BUILD_TESTS)
    # GoogleTest from the sources Debian's googletest package installs, built with the cross compiler.
    set(HALMWIND_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest)")
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${HALMWIND_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

    # The tests of the portable core, the same files the Linux build runs, and the one Win32 call
    # pair whose form depends on the width of a pointer.
    set(HALMWIND_PORTABLE_TESTS
        tests/cg_translate_test.cpp tests/displacement_parity_test.cpp tests/grass_field_test.cpp
        tests/key_table_test.cpp tests/overlay_test.cpp tests/text_encoding_test.cpp tests/wind_test.cpp
        tests/win32/window_record_test.cpp)
    add_executable(halmwind_unit_tests ${HALMWIND_PORTABLE_TESTS})
    target_compile_options(halmwind_unit_tests PRIVATE ${HALMWIND_WARNINGS})
    target_compile_definitions(halmwind_unit_tests PRIVATE HALMWIND_DATA_DIR="data")
    target_link_libraries(halmwind_unit_tests PRIVATE halmwind_core gtest gtest_main)
    target_link_options(halmwind_unit_tests PRIVATE ${HALMWIND_STATIC_RUNTIME})
endif()

# The zip for Windows users: the program, its two data files, a short README.txt, the licence and
# the notices of the runtime linked into the program.
set(HALMWIND_DIST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/dist)
set(HALMWIND_ZIP_NAME halmwind-win${HALMWIND_WINDOWS_BITS}.zip)
set(HALMWIND_ZIP ${HALMWIND_DIST_DIR}/${HALMWIND_ZIP_NAME})
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/README-win32.txt.in ${CMAKE_BINARY_DIR}/zip/README.txt
    NEWLINE_STYLE CRLF)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/zip/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
# The .exe carries the cross compiler's static runtime (winpthreads among it): its notices, from
# Debian's copyright files of the toolchain that built it.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/zip/THIRD-PARTY-NOTICES.txt
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tools/notices.sh windows ${CMAKE_BINARY_DIR}/zip/THIRD-PARTY-NOTICES.txt
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tools/notices.sh halmwind
    COMMENT "Writing the third-party notices of the zip")
add_custom_command(OUTPUT ${HALMWIND_ZIP}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${HALMWIND_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:halmwind> ${CMAKE_CURRENT_SOURCE_DIR}/data/terrain.raw
        ${CMAKE_CURRENT_SOURCE_DIR}/data/wind.cg ${CMAKE_BINARY_DIR}/zip/
    COMMAND ${CMAKE_COMMAND} -E rm -f ${HALMWIND_ZIP}
    COMMAND zip -q -X -j ${HALMWIND_ZIP} halmwind.exe terrain.raw wind.cg README.txt LICENSE.txt
        THIRD-PARTY-NOTICES.txt
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/zip
    DEPENDS halmwind ${CMAKE_CURRENT_SOURCE_DIR}/data/terrain.raw ${CMAKE_CURRENT_SOURCE_DIR}/data/wind.cg
        ${CMAKE_BINARY_DIR}/zip/README.txt ${CMAKE_BINARY_DIR}/zip/LICENSE.txt
        ${CMAKE_BINARY_DIR}/zip/THIRD-PARTY-NOTICES.txt
    COMMENT "Packing dist/${HALMWIND_ZIP_NAME}")
add_custom_target(halmwind_zip ALL DEPENDS ${HALMWIND_ZIP})

if(HALMWIND_BUILD_TESTS)
    # Reads what Wine keeps from X: a window's class, client area and styles, the display mode.
    add_executable(halmwind_window_probe tests/win32/window_probe.cpp)
    target_compile_options(halmwind_window_probe PRIVATE ${HALMWIND_WARNINGS})
    target_link_options(halmwind_window_probe PRIVATE ${HALMWIND_STATIC_RUNTIME})
endif()
