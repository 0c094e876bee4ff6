# libserilink: the serial link, a plain C library with only its API exported.
if(WIN32)
  set(serilink_backend win32.c)
else()
  set(serilink_backend posix.c mode.c line_termios2.c)
endif()
list(TRANSFORM serilink_backend PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
add_library(serilink SHARED ${CMAKE_CURRENT_LIST_DIR}/serilink.c ${serilink_backend})
set_target_properties(serilink PROPERTIES
  OUTPUT_NAME serilink
  C_VISIBILITY_PRESET hidden
  AUTOMOC OFF)
target_compile_definitions(serilink PRIVATE SERILINK_BUILD)
target_include_directories(serilink PUBLIC ${PROJECT_SOURCE_DIR})
if(WIN32)
  target_link_options(serilink PRIVATE -Wl,--kill-at)
endif()
