diduvuve_qtest(test_statusbar SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_statusbar.cpp LIBS mainwindow ecmsim_harness)
target_compile_definitions(test_statusbar PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
