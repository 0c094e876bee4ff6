diduvuve_gtest(test_linkstats SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_linkstats.cpp LIBS link_stats)
