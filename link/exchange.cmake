add_library(link_exchange STATIC ${CMAKE_CURRENT_LIST_DIR}/AldlExchange.cpp ${CMAKE_CURRENT_LIST_DIR}/FrameSource.cpp)
target_link_libraries(link_exchange PUBLIC serilink decode)
set_target_properties(link_exchange PROPERTIES AUTOMOC OFF)
