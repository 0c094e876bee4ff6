# Lost-device handling of a reading run, shared by the window and the tools.
add_library(link_keeper STATIC ${CMAKE_CURRENT_LIST_DIR}/LinkKeeper.cpp ${CMAKE_CURRENT_LIST_DIR}/LinkKeeper.h)
target_link_libraries(link_keeper PUBLIC serilink)
set_target_properties(link_keeper PROPERTIES AUTOMOC OFF)
