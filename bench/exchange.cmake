# Live exchanges against the paced simulator; needs the test harness.
if(TARGET ecmsim_harness)
  diduvuve_bench(bench_exchange SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_exchange.cpp
    LIBS link_exchange ecmsim_harness)
endif()
