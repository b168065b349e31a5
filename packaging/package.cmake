# The Debian packages, one per install component (scripts/package builds
# them with cpack):
#   kalvore-758    the program 758 and whatever else installs with
#                  COMPONENT kalvore-758 (desktop entry, MIME type, icons,
#                  metainfo, manual pages, kvctl and its completion)
#   libkvcom2      the shared library libKVCOM.so.2
#   libkvcom-dev   the header, libKVCOM.so, the CMake package, kvcom.pc
#   kalvore-kvsim  the simulator
# Run-time dependencies on system libraries come from dpkg-shlibdeps; those
# between the packages are declared here, at the exact version built.
set(KV_DEB_RELEASE 1)
set(KV_DEB_VERSION ${PROJECT_VERSION}-${KV_DEB_RELEASE})
set(KV_DEB_PACKAGES kalvore-758 libkvcom${PROJECT_VERSION_MAJOR} libkvcom-dev kalvore-kvsim)

# Every package carries the copyright and the changelog (compressed when
# packed, see compress_docs.cmake). The changelog names the version built.
set(KV_DEB_CHANGELOG ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
file(STRINGS ${KV_DEB_CHANGELOG} kv_changelog_top LIMIT_COUNT 1)
if(NOT kv_changelog_top MATCHES "^kalvore \\(${KV_DEB_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: the first entry is not version ${KV_DEB_VERSION}")
endif()
foreach(pkg ${KV_DEB_PACKAGES})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${pkg} COMPONENT ${pkg})
  install(FILES ${KV_DEB_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${pkg}
          RENAME changelog.Debian COMPONENT ${pkg})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvore)
set(CPACK_PACKAGE_VENDOR Kalvore)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kalvore 758 developers <kalvore758@kalvore.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Staged through DESTDIR, so the install rules see the final prefix (kvcom.pc
# names it) and skip the refresh of a live system's caches.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress_docs.cmake)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${KV_DEB_PACKAGES})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KV_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE kalvore)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Where dpkg-shlibdeps finds libKVCOM.so.2 for the programs that link it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/kvcom)

set(kv_lib LIBKVCOM${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_${kv_lib}_PACKAGE_NAME libkvcom${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_${kv_lib}_PACKAGE_SECTION libs)
# A shlibs file (and the ldconfig trigger) for every package with a shared
# library, which is libkvcom2 alone.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# Programs built against 2.30 run with any later 2.x.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The package has the ldconfig trigger run after unpacking.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/libkvcom.triggers ${PROJECT_BINARY_DIR}/debian/triggers COPYONLY)
set(CPACK_DEBIAN_${kv_lib}_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
set(CPACK_DEBIAN_${kv_lib}_DESCRIPTION "Link to the Kalvore loudspeaker management processor (library)
KVCOM talks to a Kalvore rack loudspeaker processor over RS-232 with MIDI
System Exclusive messages: the parameter model, parameter edits, whole
programs, the unit's memories and the serial link.
.
This package holds the shared library.")

set(CPACK_DEBIAN_LIBKVCOM-DEV_PACKAGE_NAME libkvcom-dev)
set(CPACK_DEBIAN_LIBKVCOM-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBKVCOM-DEV_PACKAGE_DEPENDS "libkvcom${PROJECT_VERSION_MAJOR} (= ${KV_DEB_VERSION})")
set(CPACK_DEBIAN_LIBKVCOM-DEV_DESCRIPTION "Link to the Kalvore loudspeaker management processor (development)
KVCOM talks to a Kalvore rack loudspeaker processor over RS-232 with MIDI
System Exclusive messages: the parameter model, parameter edits, whole
programs, the unit's memories and the serial link.
.
This package holds what a program needs to be built against the library:
the header kvcom/kvcom.h, the CMake package KVCOM (imported target
KVCOM::KVCOM) and the pkg-config file kvcom.pc.")

set(CPACK_DEBIAN_KALVORE-758_PACKAGE_NAME kalvore-758)
set(CPACK_DEBIAN_KALVORE-758_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_KALVORE-758_PACKAGE_DEPENDS "libkvcom${PROJECT_VERSION_MAJOR} (= ${KV_DEB_VERSION})")
set(CPACK_DEBIAN_KALVORE-758_PACKAGE_SUGGESTS kalvore-kvsim)
set(CPACK_DEBIAN_KALVORE-758_DESCRIPTION "Control program for the Kalvore 758 loudspeaker processor
Edits the routing, gains, delays, crossovers, limiters and parametric EQ of
a Kalvore rack loudspeaker management processor over a serial port, sends
and fetches whole programs, stores and recalls the unit's 60 memories, and
keeps programs (.syx) and banks of memories (.ay) in files.
.
The package holds the desktop program 758 and the command-line tool kvctl.")

set(CPACK_DEBIAN_KALVORE-KVSIM_PACKAGE_NAME kalvore-kvsim)
set(CPACK_DEBIAN_KALVORE-KVSIM_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_KALVORE-KVSIM_DESCRIPTION "Simulator of the Kalvore 758 loudspeaker processor
kvsim plays a Kalvore rack loudspeaker management processor on a
pseudo-terminal, so that the control program, kvctl or a program built on
the KVCOM library can be tried and tested without the unit. It keeps a
working program and 60 memories, and can inject faults on the line.")

include(CPack)
