diduvuve_qtest(test_heal SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_heal.cpp LIBS mainwindow ecmsim_harness)
target_compile_definitions(test_heal PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
