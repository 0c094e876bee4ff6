# The headless reading run: the logger's loop, with the window's frame reading and lost-link handling.
add_library(link_readloop STATIC ${CMAKE_CURRENT_LIST_DIR}/ReadLoop.cpp ${CMAKE_CURRENT_LIST_DIR}/ReadLoop.h)
target_link_libraries(link_readloop PUBLIC link_bus link_keeper link_stats)
set_target_properties(link_readloop PROPERTIES AUTOMOC OFF)
