diduvuve_qtest(test_linkwindow SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_linkwindow.cpp LIBS mainwindow ecmsim_harness TIMEOUT 120)
target_compile_definitions(test_linkwindow PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
