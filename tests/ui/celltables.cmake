diduvuve_qtest(test_celltables SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_celltables.cpp LIBS mainwindow csv_export)
target_compile_definitions(test_celltables PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
