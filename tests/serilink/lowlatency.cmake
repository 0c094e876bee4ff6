diduvuve_gtest(test_serilink_lowlatency
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_lowlatency.cpp
  LIBS serilink ecmsim_harness)
