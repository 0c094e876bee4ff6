diduvuve_gtest(test_hex SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_hex.cpp LIBS decode)
diduvuve_gtest(test_aldl SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_aldl.cpp LIBS decode)
diduvuve_gtest(test_expression SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_expression.cpp LIBS decode)
