diduvuve_gtest(test_hex SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_hex.cpp LIBS decode)
diduvuve_gtest(test_aldl SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_aldl.cpp LIBS decode)
diduvuve_gtest(test_expression SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_expression.cpp LIBS decode definitions_core)
target_compile_definitions(test_expression PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
