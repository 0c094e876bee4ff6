diduvuve_qtest(test_replaysteer SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_replaysteer.cpp LIBS mainwindow)
target_compile_definitions(test_replaysteer PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
