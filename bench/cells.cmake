diduvuve_bench(bench_cells SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_cells.cpp LIBS csv_export link_log)
target_compile_definitions(bench_cells PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
