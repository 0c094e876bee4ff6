diduvuve_gtest(test_logfile SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_logfile.cpp LIBS link_log)
