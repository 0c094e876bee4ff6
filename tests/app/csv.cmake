diduvuve_gtest(test_csv SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_csv.cpp LIBS csv_export)
target_compile_definitions(test_csv PRIVATE CSV_PATH="$<TARGET_FILE:diduvuve-csv>"
  EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
add_dependencies(test_csv diduvuve-csv)
