diduvuve_bench(bench_adx SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_adx.cpp LIBS adx_core)
