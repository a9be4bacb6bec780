# Google Benchmark for the Windows build, compiled from the distribution's
# source package that scripts/setup unpacks under deps/, as a static library
# of this build. (Native builds use the installed libbenchmark-dev.)
set(ORVIK_BENCHMARK_SOURCE ${PROJECT_SOURCE_DIR}/deps/src/benchmark-1.7.1 CACHE PATH "Google Benchmark source tree")
if(NOT EXISTS ${ORVIK_BENCHMARK_SOURCE}/src/benchmark.cc)
    message(FATAL_ERROR "Google Benchmark sources not found at ${ORVIK_BENCHMARK_SOURCE}; run scripts/setup")
endif()
file(GLOB orvik_benchmark_sources ${ORVIK_BENCHMARK_SOURCE}/src/*.cc)
list(REMOVE_ITEM orvik_benchmark_sources ${ORVIK_BENCHMARK_SOURCE}/src/benchmark_main.cc)
add_library(benchmark STATIC ${orvik_benchmark_sources})
add_library(benchmark::benchmark ALIAS benchmark)
target_include_directories(benchmark SYSTEM PUBLIC ${ORVIK_BENCHMARK_SOURCE}/include)
target_include_directories(benchmark PRIVATE ${ORVIK_BENCHMARK_SOURCE}/src)
# What the package's own configure step finds on this toolchain.
target_compile_definitions(benchmark PUBLIC BENCHMARK_STATIC_DEFINE PRIVATE HAVE_STD_REGEX HAVE_STEADY_CLOCK)
# Its Windows code calls the narrow-character API through the generic names.
target_compile_options(benchmark PRIVATE -w -UUNICODE -U_UNICODE)
target_link_libraries(benchmark PRIVATE shlwapi)
