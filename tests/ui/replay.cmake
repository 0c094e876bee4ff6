diduvuve_qtest(test_replaysteer SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_replaysteer.cpp LIBS mainwindow)
target_compile_definitions(test_replaysteer PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
diduvuve_qtest(test_loganalysis SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_loganalysis.cpp LIBS mainwindow csv_export)
target_compile_definitions(test_loganalysis PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
