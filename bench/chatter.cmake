# Reading through other modules' chatter, and the probe, against the paced simulator.
if(TARGET ecmsim_harness)
  diduvuve_bench(bench_chatter SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_chatter.cpp
    LIBS link_probe ecmsim_harness)
  target_compile_definitions(bench_chatter PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
endif()
