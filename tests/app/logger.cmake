diduvuve_gtest(test_logger SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_logger.cpp
  ${PROJECT_SOURCE_DIR}/tools/ecmsim/EngineModel.cpp
  LIBS link_log definitions_core decode ecmsim_harness TIMEOUT 180)
target_compile_definitions(test_logger PRIVATE LOGGER_PATH="$<TARGET_FILE:diduvuve-logger>"
  EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
add_dependencies(test_logger diduvuve-logger)

diduvuve_qtest(test_logger_replay SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_logger_replay.cpp
  LIBS mainwindow ecmsim_harness TIMEOUT 120)
target_compile_definitions(test_logger_replay PRIVATE LOGGER_PATH="$<TARGET_FILE:diduvuve-logger>"
  EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
add_dependencies(test_logger_replay diduvuve-logger)
