# cg2glsl.cmake -- the command-line Cg translator: text only, no GL and no display.
if(HALMWIND_BUILD_TOOLS)
    add_executable(cg2glsl tools/cg2glsl.cpp)
    target_link_libraries(cg2glsl PRIVATE halmwind_cg)
    target_compile_options(cg2glsl PRIVATE ${HALMWIND_WARNINGS})
    if(HALMWIND_BUILD_TESTS)
        # What a user sees: the shader with its table, or the located message and exit status 1.
        add_test(NAME Cg2Glsl.PrintsShaderAndAttributes COMMAND cg2glsl ${CMAKE_CURRENT_SOURCE_DIR}/data/wind.cg)
        set_tests_properties(Cg2Glsl.PrintsShaderAndAttributes PROPERTIES PASS_REGULAR_EXPRESSION
            "#version 120.*void main\\(\\).*IN\\.zfeldpos +3 x float  gl_MultiTexCoord0,.*ModelViewProj +16 floats")
        add_test(NAME Cg2Glsl.ErrorNamesFileAndLine
            COMMAND sh -c "\"$0\" -entry vmain \"$1\"; echo \"exit $?\"" $<TARGET_FILE:cg2glsl>
                    ${CMAKE_CURRENT_SOURCE_DIR}/data/wind.cg)
        set_tests_properties(Cg2Glsl.ErrorNamesFileAndLine PROPERTIES PASS_REGULAR_EXPRESSION
            "wind\\.cg\\([0-9]+\\): error: no entry function 'vmain'\nexit 1")
    endif()
endif()
