# bench.cmake -- halmwind_bench: the bend, the wind, whole frames, start-up and the two paths' parity.
if(HALMWIND_BUILD_BENCHMARKS)
    find_package(benchmark REQUIRED)
    add_executable(halmwind_bench bench/bench.cpp)
    target_compile_options(halmwind_bench PRIVATE ${HALMWIND_WARNINGS})
    target_compile_definitions(halmwind_bench PRIVATE HALMWIND_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
    target_link_libraries(halmwind_bench PRIVATE halmwind_core benchmark::benchmark)
endif()
