diduvuve_gtest(test_linkkeeper
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_linkkeeper.cpp
  LIBS link_keeper link_exchange ecmsim_harness)
