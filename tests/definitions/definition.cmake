diduvuve_gtest(test_definition SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_definition.cpp LIBS definitions_core)
target_compile_definitions(test_definition PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
