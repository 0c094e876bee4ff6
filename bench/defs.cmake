diduvuve_bench(bench_defs SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_defs.cpp LIBS lxsgrid)
