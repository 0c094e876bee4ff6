diduvuve_bench(bench_analysis SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_analysis.cpp LIBS mainwindow)
target_compile_definitions(bench_analysis PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
