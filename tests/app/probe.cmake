diduvuve_gtest(test_probe SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_probe.cpp
  LIBS link_bus definitions_core ecmsim_harness TIMEOUT 180)
target_compile_definitions(test_probe PRIVATE PROBE_PATH="$<TARGET_FILE:diduvuve-probe>"
  EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
add_dependencies(test_probe diduvuve-probe)

diduvuve_gtest(test_logger_chatter SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_logger_chatter.cpp
  LIBS link_log definitions_core decode ecmsim_harness TIMEOUT 120)
target_compile_definitions(test_logger_chatter PRIVATE LOGGER_PATH="$<TARGET_FILE:diduvuve-logger>"
  EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
add_dependencies(test_logger_chatter diduvuve-logger)
