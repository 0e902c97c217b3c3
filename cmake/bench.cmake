# bench.cmake -- halmwind_bench: the bend, the wind, whole frames, start-up and the two paths' parity,
# one file of bench/ per subject.
if(HALMWIND_BUILD_BENCHMARKS)
    find_package(benchmark REQUIRED)
    file(GLOB HALMWIND_BENCH_SOURCES CONFIGURE_DEPENDS bench/*.cpp)
    # The parity benchmark runs the vertex program through the tests' transform-feedback harness.
    add_executable(halmwind_bench ${HALMWIND_BENCH_SOURCES} tests/cg_feedback.cpp)
    target_compile_options(halmwind_bench PRIVATE ${HALMWIND_WARNINGS})
    target_compile_definitions(halmwind_bench PRIVATE HALMWIND_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
    target_link_libraries(halmwind_bench PRIVATE halmwind_core benchmark::benchmark)
endif()
