# Installation into any prefix with the usual directory variables, and the
# Debian package built from the same rules.
include(GNUInstallDirs)

set(DIDUVUVE_APP_ID org.diduvuve.Diduvuve)
set(DIDUVUVE_HOMEPAGE "https://example.org/diduvuve" CACHE STRING "Home page named in the package and the AppStream data")
set(DIDUVUVE_CONTACT "diduvuve@example.org" CACHE STRING "Maintainer address of the package")
set(data ${CMAKE_CURRENT_LIST_DIR})
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/diduvuve)

# Installed programs find libserilink beside them in whatever prefix.
set_target_properties(Diduvuve PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
install(TARGETS Diduvuve RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS $<TARGET_FILE:ecmsim> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME diduvuve-ecmsim)
# A renamed copy is not stripped with the targets, so strip it here.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/diduvuve-ecmsim\")
endif()")
set(manpages Diduvuve diduvuve-ecmsim)
# The command-line tools install themselves where they are built.
foreach(tool diduvuve-csv diduvuve-logger)
  if(TARGET ${tool})
    set_target_properties(${tool} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    if(EXISTS ${PROJECT_SOURCE_DIR}/docs/man/${tool}.1)
      list(APPEND manpages ${tool})
    endif()
  endif()
endforeach()
list(APPEND manpages diduvuve-probe)

# Manual pages carry the version and are compressed without a time stamp.
set(manfiles)
foreach(page ${manpages})
  set(VERSION ${PROJECT_VERSION})
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND gzip -9nf ${page}.1
    COMMAND ${CMAKE_COMMAND} -E touch ${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/man
    VERBATIM)
  list(APPEND manfiles ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(manpages ALL DEPENDS ${manfiles})
install(FILES ${manfiles} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Desktop integration: menu entry, icon, AppStream data, file types.
install(FILES ${data}/${DIDUVUVE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${data}/${DIDUVUVE_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/${DIDUVUVE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${DIDUVUVE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data}/${DIDUVUVE_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME ${DIDUVUVE_APP_ID}.xml)
install(FILES ${data}/${DIDUVUVE_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${data}/icon-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${DIDUVUVE_APP_ID}.png)
endforeach()

# Examples and documents.
file(GLOB example_files ${PROJECT_SOURCE_DIR}/examples/*.ald ${PROJECT_SOURCE_DIR}/examples/*.rules
     ${PROJECT_SOURCE_DIR}/examples/*.service)
install(FILES ${example_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/diduvuve/examples)
install(FILES ${data}/copyright DESTINATION ${docdir})
configure_file(${data}/changelog ${CMAKE_BINARY_DIR}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  COMMAND gzip -9nkf changelog.Debian
  DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.Debian.gz DESTINATION ${docdir})

# The Debian package: dependencies come from the libraries the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME diduvuve)
set(CPACK_PACKAGE_VENDOR "The Diduvuve developers")
set(CPACK_PACKAGE_CONTACT "The Diduvuve developers <${DIDUVUVE_CONTACT}>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "analyser for the ALDL data stream of Holden engine modules")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Diduvuve reads the 8192-baud ALDL data stream of General Motors Holden
engine control modules through a serial cable, decodes it with a
definition written word by word, and shows it as values with alarm limits
and fail counts, strip charts, malfunction flags and raw bytes. Frames can
be recorded to a log and replayed.

The package holds the analyser window, a simulated ECM for trying it
without a car, the serial link library with its header and pkg-config
file, and example definitions.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${DIDUVUVE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libserilink is registered through the ldconfig trigger (CPack's own
# scripts call ldconfig as well); menus, icons and file types are updated
# by the triggers of their own packages.
file(WRITE ${CMAKE_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
get_target_property(serilink_soversion serilink SOVERSION)
file(WRITE ${CMAKE_BINARY_DIR}/debian/shlibs "libserilink ${serilink_soversion} diduvuve (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/triggers ${CMAKE_BINARY_DIR}/debian/shlibs)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/serilink)
set(CPACK_STRIP_FILES ON)
include(CPack)
