# Installation into any prefix with the usual directory variables, and the
# three Debian packages built from the same rules: diduvuve (programs, desktop
# data, examples, manual pages), libserilink1 (the shared library) and
# libserilink-dev (header, link name, pkg-config file). Whatever installs
# without naming a component lands in diduvuve (set at the top level).
include(GNUInstallDirs)

set(DIDUVUVE_APP_ID org.diduvuve.Diduvuve)
# Build folders configured before kept placeholder addresses: forget them.
foreach(var DIDUVUVE_HOMEPAGE DIDUVUVE_CONTACT)
  if("${${var}}" MATCHES "example\\.org")
    unset(${var} CACHE)
  endif()
endforeach()
set(DIDUVUVE_HOMEPAGE "" CACHE STRING "Home page named in the packages and the AppStream data; left out when empty")
# Debian's tools take the builder's address from DEBEMAIL or EMAIL; failing
# those, whoever commits to this checkout builds the package.
if(NOT DEFINED CACHE{DIDUVUVE_CONTACT})
  set(contact "$ENV{DEBEMAIL}")
  if(contact STREQUAL "")
    set(contact "$ENV{EMAIL}")
  endif()
  if(contact STREQUAL "" AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
    execute_process(COMMAND git config user.email WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE contact OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  set(DIDUVUVE_CONTACT "${contact}" CACHE STRING "Maintainer address of the packages")
endif()
if(DIDUVUVE_CONTACT STREQUAL "")
  message(STATUS "No maintainer address for the packages: set DIDUVUVE_CONTACT (or DEBEMAIL) to build them")
endif()
set(data ${CMAKE_CURRENT_LIST_DIR})

# The manual pages of the diduvuve package, one a line (docs/man/NAME.1).
# A program installs itself where it is built, with
# install(TARGETS NAME RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}), and so
# lands in this package; its page is one more line here.
set(manpages
  Diduvuve
  diduvuve-csv
  diduvuve-ecmsim
  diduvuve-import
  diduvuve-logger
  diduvuve-probe)

install(TARGETS Diduvuve RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS $<TARGET_FILE:ecmsim> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME diduvuve-ecmsim)
# A renamed copy is not stripped with the targets, so strip it here.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/diduvuve-ecmsim\")
endif()")

# Manual pages carry the version and are compressed without a time stamp; the
# page itself stays, so building again finds nothing to do.
set(manfiles)
foreach(page ${manpages})
  set(VERSION ${PROJECT_VERSION})
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND gzip -9nkf ${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/man
    VERBATIM)
  list(APPEND manfiles ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(manpages ALL DEPENDS ${manfiles})
install(FILES ${manfiles} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Desktop integration: menu entry, icon, AppStream data, file types.
install(FILES ${data}/${DIDUVUVE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(DIDUVUVE_WEB_LINKS "")
set(DIDUVUVE_SOURCE_FIELD "")
if(NOT DIDUVUVE_HOMEPAGE STREQUAL "")
  string(CONCAT DIDUVUVE_WEB_LINKS
    "  <url type=\"homepage\">${DIDUVUVE_HOMEPAGE}</url>\n"
    "  <screenshots>\n"
    "    <screenshot type=\"default\">\n"
    "      <caption>Live values from the simulated ECM</caption>\n"
    "      <image>${DIDUVUVE_HOMEPAGE}/screenshots/data.png</image>\n"
    "    </screenshot>\n"
    "  </screenshots>\n")
  set(DIDUVUVE_SOURCE_FIELD "Source: ${DIDUVUVE_HOMEPAGE}\n")
endif()
configure_file(${data}/${DIDUVUVE_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/${DIDUVUVE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${DIDUVUVE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data}/${DIDUVUVE_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME ${DIDUVUVE_APP_ID}.xml)
install(FILES ${data}/${DIDUVUVE_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${data}/icon-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${DIDUVUVE_APP_ID}.png)
endforeach()

file(GLOB example_files ${PROJECT_SOURCE_DIR}/examples/*.ald ${PROJECT_SOURCE_DIR}/examples/*.rules
     ${PROJECT_SOURCE_DIR}/examples/*.service)
install(FILES ${example_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/diduvuve/examples)

# Every package carries the licence and the changelog in its own folder.
configure_file(${data}/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
configure_file(${data}/changelog ${CMAKE_BINARY_DIR}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  COMMAND gzip -9nkf changelog.Debian
  DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
set(packages diduvuve libserilink1 libserilink-dev)
foreach(package ${packages})
  install(FILES ${CMAKE_BINARY_DIR}/copyright ${CMAKE_BINARY_DIR}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${package})
endforeach()

# The Debian packages, one a component.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${packages})
set(CPACK_PACKAGE_NAME diduvuve)
set(CPACK_PACKAGE_VENDOR "The Diduvuve developers")
if(DIDUVUVE_CONTACT STREQUAL "")
  set(CPACK_PACKAGE_CONTACT "The Diduvuve developers")
else()
  set(CPACK_PACKAGE_CONTACT "The Diduvuve developers <${DIDUVUVE_CONTACT}>")
endif()
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(NOT DIDUVUVE_HOMEPAGE STREQUAL "")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${DIDUVUVE_HOMEPAGE})
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/serilink)
set(CPACK_STRIP_FILES ON)
set(full_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})

set(CPACK_DEBIAN_DIDUVUVE_PACKAGE_NAME diduvuve)
set(CPACK_DEBIAN_DIDUVUVE_PACKAGE_SECTION electronics)
# Found by the linker but not by dpkg-shlibdeps (no installed package has it yet).
set(CPACK_DEBIAN_DIDUVUVE_PACKAGE_DEPENDS "libserilink1 (= ${full_version})")
set(CPACK_DEBIAN_DIDUVUVE_DESCRIPTION "analyser for the ALDL data stream of Holden engine modules
Diduvuve reads the 8192-baud ALDL data stream of General Motors Holden
engine control modules through a serial cable, decodes it with a
definition written word by word, and shows it as values with alarm limits
and fail counts, strip charts, malfunction flags and raw bytes. Frames can
be recorded to a log and replayed.

The package holds the analyser window, the command-line logger and CSV
export, a simulated ECM for trying it without a car, and example
definitions.")

set(CPACK_DEBIAN_LIBSERILINK1_PACKAGE_NAME libserilink1)
set(CPACK_DEBIAN_LIBSERILINK1_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBSERILINK1_DESCRIPTION "serial link library for the 8192-baud ALDL line
libserilink opens a serial port for the single-wire ALDL line of General
Motors Holden engine control modules at 8192 baud, reads and writes raw
bytes with timeouts, and computes the ALDL checksum.

This package holds the shared library.")
# The library is registered through the ldconfig trigger alone: naming
# postinst and postrm that do not exist keeps CPack from writing scripts
# that call ldconfig, and a missing control file is passed over unless
# permissions are strict. Menus, icons and file types are updated by the
# triggers of their own packages.
get_target_property(serilink_soversion serilink SOVERSION)
file(WRITE ${CMAKE_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
file(WRITE ${CMAKE_BINARY_DIR}/debian/shlibs "libserilink ${serilink_soversion} libserilink1 (>= ${PROJECT_VERSION})\n")
file(CHMOD ${CMAKE_BINARY_DIR}/debian/triggers ${CMAKE_BINARY_DIR}/debian/shlibs
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(CPACK_DEBIAN_LIBSERILINK1_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/triggers ${CMAKE_BINARY_DIR}/debian/shlibs
    ${CMAKE_BINARY_DIR}/debian/none/postinst ${CMAKE_BINARY_DIR}/debian/none/postrm)

set(CPACK_DEBIAN_LIBSERILINK-DEV_PACKAGE_NAME libserilink-dev)
set(CPACK_DEBIAN_LIBSERILINK-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBSERILINK-DEV_PACKAGE_DEPENDS "libserilink1 (= ${full_version})")
set(CPACK_DEBIAN_LIBSERILINK-DEV_DESCRIPTION "serial link library for the 8192-baud ALDL line (development files)
libserilink opens a serial port for the single-wire ALDL line of General
Motors Holden engine control modules at 8192 baud, reads and writes raw
bytes with timeouts, and computes the ALDL checksum.

This package holds the C header, the link name and the pkg-config file
for building programs with the library.")
include(CPack)
