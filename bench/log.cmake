diduvuve_bench(bench_log SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_log.cpp LIBS link_log)
