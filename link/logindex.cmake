# The seek index of a log: pure, beside the log file itself.
add_library(link_logindex STATIC ${CMAKE_CURRENT_LIST_DIR}/LogIndex.cpp ${CMAKE_CURRENT_LIST_DIR}/LogIndex.h)
target_link_libraries(link_logindex PUBLIC decode)
set_target_properties(link_logindex PROPERTIES AUTOMOC OFF)
