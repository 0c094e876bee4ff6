diduvuve_gtest(test_buslink
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_buslink.cpp
  LIBS link_bus ecmsim_harness TIMEOUT 240)
