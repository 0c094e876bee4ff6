# The seek index of a log, and the replay cursor that steers by it; no Qt.
add_library(link_logindex STATIC ${CMAKE_CURRENT_LIST_DIR}/LogIndex.cpp ${CMAKE_CURRENT_LIST_DIR}/LogIndex.h
  ${CMAKE_CURRENT_LIST_DIR}/ReplayCursor.cpp ${CMAKE_CURRENT_LIST_DIR}/ReplayCursor.h)
target_link_libraries(link_logindex PUBLIC link_log decode)
set_target_properties(link_logindex PROPERTIES AUTOMOC OFF)
