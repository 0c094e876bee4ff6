# Log files: writing and reading frame lines, and the record/replay file commands.
add_library(link_log STATIC ${CMAKE_CURRENT_LIST_DIR}/LogFile.cpp ${CMAKE_CURRENT_LIST_DIR}/LogFile.h)
target_link_libraries(link_log PUBLIC decode definitions_core)
set_target_properties(link_log PROPERTIES AUTOMOC OFF)
