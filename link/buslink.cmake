add_library(link_bus STATIC ${CMAKE_CURRENT_LIST_DIR}/LinkSettings.cpp ${CMAKE_CURRENT_LIST_DIR}/BusLink.cpp)
target_link_libraries(link_bus PUBLIC link_exchange definitions_core)
set_target_properties(link_bus PROPERTIES AUTOMOC OFF)
