diduvuve_gtest(test_persist SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_persist.cpp LIBS definitions_core)
diduvuve_qtest(test_sgrid SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_sgrid.cpp ${CMAKE_CURRENT_LIST_DIR}/ExampleDefs.h
  LIBS lxsgrid)
target_compile_definitions(test_sgrid PRIVATE DIDUVUVE_EXAMPLES="${PROJECT_SOURCE_DIR}/examples")
