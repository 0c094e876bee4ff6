diduvuve_qtest(test_settings SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_settings.cpp LIBS mainwindow)
