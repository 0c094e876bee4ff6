diduvuve_bench(bench_csv SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_csv.cpp LIBS csv_export link_log)
target_compile_definitions(bench_csv PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
