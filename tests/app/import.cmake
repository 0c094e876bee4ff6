diduvuve_gtest(test_import SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_import.cpp)
target_compile_definitions(test_import PRIVATE IMPORT_PATH="$<TARGET_FILE:diduvuve-import>"
  ADX_TEST_DIR="${PROJECT_SOURCE_DIR}/tests/definitions/adx")
add_dependencies(test_import diduvuve-import)
