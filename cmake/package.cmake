# package.cmake -- what `cmake --install` puts where, and the Debian package CPack makes of it.
# Only the program, its launcher, its data and its desktop files are installed: the tests,
# tools and benchmarks stay in the build tree.
#
# The launcher finds the program and the data from where it lies (bin/../libexec/halmwind,
# bin/../share/halmwind), so these three places move together. Windows gets a zip instead.
if(WIN32)
    return()
endif()

set(HALMWIND_PROGRAM_DIR libexec/halmwind)
set(HALMWIND_SHARE_DIR share/halmwind)
# The manual names the data folder as it will be on disk.
set(HALMWIND_DATA_DIR ${CMAKE_INSTALL_PREFIX}/${HALMWIND_SHARE_DIR})
set(HALMWIND_MAINTAINER "Halmwind maintainers <maintainers@users.noreply.c-seed-7bb77e87.example>")

install(TARGETS halmwind RUNTIME DESTINATION ${HALMWIND_PROGRAM_DIR})
install(PROGRAMS packaging/halmwind.sh DESTINATION bin RENAME halmwind)
install(FILES data/terrain.raw data/wind.cg DESTINATION ${HALMWIND_SHARE_DIR})
install(FILES packaging/halmwind.desktop DESTINATION share/applications)
foreach(size 64 128)
    install(FILES packaging/icons/halmwind-${size}.png
        DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME halmwind.png)
endforeach()
install(FILES packaging/copyright DESTINATION share/doc/halmwind)

# The manual and the Debian changelog carry the version; Debian wants both gzipped with -9n
# (no name, no time stamp, so that two builds give the same bytes). The changelog's date is
# SOURCE_DATE_EPOCH's when it is set.
string(TIMESTAMP HALMWIND_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/halmwind.6 ${CMAKE_CURRENT_BINARY_DIR}/packaging/halmwind.6 @ONLY)
configure_file(packaging/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
set(HALMWIND_GZIPPED)
foreach(file halmwind.6 changelog.Debian)
    set(plain ${CMAKE_CURRENT_BINARY_DIR}/packaging/${file})
    add_custom_command(OUTPUT ${plain}.gz
        COMMAND gzip -9nkf ${plain}
        DEPENDS ${plain}
        COMMENT "Compressing ${file}"
        VERBATIM)
    list(APPEND HALMWIND_GZIPPED ${plain}.gz)
endforeach()
add_custom_target(halmwind_package_docs ALL DEPENDS ${HALMWIND_GZIPPED})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/halmwind.6.gz DESTINATION share/man/man6)
# The version carries no Debian revision, so the package is native and its changelog is changelog.gz.
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION share/doc/halmwind
    RENAME changelog.gz)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halmwind)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${HALMWIND_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wind over a meadow, in real time")
set(CPACK_PACKAGE_DESCRIPTION
"Halmwind stands 2000 grass blades on a rolling, height-mapped ground and
bends them with wind, in an 800 x 600 window or on a full screen. The wind
is computed on the CPU for every blade vertex, or handed to a vertex program
on the GPU. Five wind modes blow over the field: a steady wind, gusts, a
turning vortex, and two modes centred on a movable ring. A German 3D text
overlay shows the switches, the wind settings and the frame rate.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_CURRENT_SOURCE_DIR}/dist)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# graphics, not games: Debian keeps games' programs in /usr/games, which root's PATH lacks.
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps. Two needs no scan can see are
# named here: SDL and libepoxy open libGL.so.1 at run time (libgl1), and the overlay's face is
# found through fontconfig (fonts-comic-neue).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, fonts-comic-neue")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
