# Runs the logger program against the simulator program; links neither.
diduvuve_bench(bench_logger SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_logger.cpp LIBS)
target_compile_definitions(bench_logger PRIVATE LOGGER_PATH="$<TARGET_FILE:diduvuve-logger>"
  ECMSIM_PATH="$<TARGET_FILE:ecmsim>" EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
add_dependencies(bench_logger diduvuve-logger ecmsim)
