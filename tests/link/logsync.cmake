diduvuve_gtest(test_logsync SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_logsync.cpp LIBS link_log)
target_link_options(test_logsync PRIVATE -Wl,--wrap=fdatasync)
