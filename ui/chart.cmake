# The strip chart control.
add_library(lxchart STATIC ${CMAKE_CURRENT_LIST_DIR}/Chart.cpp ${CMAKE_CURRENT_LIST_DIR}/Chart.h)
target_link_libraries(lxchart PUBLIC Qt6::Widgets decode)
