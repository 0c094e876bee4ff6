diduvuve_qtest(test_documents SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_documents.cpp LIBS mainwindow)
target_compile_definitions(test_documents PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples"
  ADX_TEST_DIR="${PROJECT_SOURCE_DIR}/tests/definitions/adx")
