diduvuve_qtest(test_settings_bounds SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_settings_bounds.cpp LIBS mainwindow)
