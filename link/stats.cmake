# Link health of a run, for the status bar.
add_library(link_stats STATIC ${CMAKE_CURRENT_LIST_DIR}/LinkStats.cpp ${CMAKE_CURRENT_LIST_DIR}/LinkStats.h)
set_target_properties(link_stats PROPERTIES AUTOMOC OFF)
