# web.cmake -- the browser build: halmwind.js and halmwind.wasm over gl4es, GLU and FreeType,
# which tools/build_web.sh builds for Emscripten into HALMWIND_WEB_PREFIX first.
set(HALMWIND_WEB_PREFIX "" CACHE PATH "where the web build's gl4es, GLU and FreeType are installed")
if(NOT EXISTS "${HALMWIND_WEB_PREFIX}/lib/libgl4es.a")
    message(FATAL_ERROR "HALMWIND_WEB_PREFIX (${HALMWIND_WEB_PREFIX}) holds no gl4es: build with make web")
endif()

# GLU's own glu.h comes first; GL/gl.h and the GL 2.0 names then come from gl4es.
target_include_directories(halmwind_core PUBLIC
    ${HALMWIND_WEB_PREFIX}/include ${HALMWIND_WEB_PREFIX}/include/freetype2
    ${CMAKE_CURRENT_SOURCE_DIR}/third_party/gl4es/include)
target_link_libraries(halmwind_core PUBLIC
    ${HALMWIND_WEB_PREFIX}/lib/libGLU.a ${HALMWIND_WEB_PREFIX}/lib/libgl4es.a
    ${HALMWIND_WEB_PREFIX}/lib/libfreetype.a)

set(HALMWIND_WEB_FONT /usr/share/fonts/opentype/comic-neue/ComicNeue-Regular.otf CACHE FILEPATH
    "the overlay's face (Debian's fonts-comic-neue)")

add_executable(halmwind_web platform/web/main.cpp)
set_target_properties(halmwind_web PROPERTIES OUTPUT_NAME halmwind SUFFIX .js)
target_compile_options(halmwind_web PRIVATE ${HALMWIND_WARNINGS})
target_link_libraries(halmwind_web PRIVATE halmwind_core)
# FULL_ES2 gives gl4es client-side vertex arrays over WebGL 1; -lGL brings the browser's bindings
# that gl4es looks up by name. The face is built into the program; the page fetches the data.
target_link_options(halmwind_web PRIVATE
    -lGL -sFULL_ES2=1 -sMAX_WEBGL_VERSION=1 -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web
    -sFORCE_FILESYSTEM=1 -sEXIT_RUNTIME=0
    "-sEXPORTED_FUNCTIONS=['_main','_HalmwindStart','_HalmwindReload','_HalmwindPageClosed','_HalmwindFullScreenRefused','_HalmwindWindProgramSaved']"
    "-sEXPORTED_RUNTIME_METHODS=['FS','ENV','addRunDependency','removeRunDependency']"
    "--embed-file=${HALMWIND_WEB_FONT}@/fonts/ComicNeue-Regular.otf")
# client_arrays.js replaces Emscripten's upload of client-side vertex arrays, where most of the
# page's time went (see its head).
set(HALMWIND_WEB_CLIENT_ARRAYS ${CMAKE_CURRENT_SOURCE_DIR}/platform/web/client_arrays.js)
target_link_options(halmwind_web PRIVATE "--js-library=${HALMWIND_WEB_CLIENT_ARRAYS}")
set_property(TARGET halmwind_web APPEND PROPERTY LINK_DEPENDS ${HALMWIND_WEB_FONT} ${HALMWIND_WEB_CLIENT_ARRAYS})
