diduvuve_qtest(test_editword SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_editword.cpp LIBS mainwindow)
