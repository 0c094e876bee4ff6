diduvuve_bench(bench_logindex SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_logindex.cpp LIBS link_logindex link_log)
