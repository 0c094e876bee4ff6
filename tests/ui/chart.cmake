diduvuve_qtest(test_chart SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_chart.cpp LIBS lxchart)
