diduvuve_gtest(test_worddecode SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_worddecode.cpp LIBS decode)
