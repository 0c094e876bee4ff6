diduvuve_gtest(test_logindex SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_logindex.cpp LIBS link_logindex link_log)
