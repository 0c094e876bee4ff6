if(TARGET ecmsim_harness)
  diduvuve_bench(bench_window SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_window.cpp LIBS mainwindow ecmsim_harness)
  target_compile_definitions(bench_window PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
endif()
