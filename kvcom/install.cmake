# Installs KVCOM for other programs: the shared library in the runtime
# package, and for building against it the public header, the link-time
# symlink libKVCOM.so, the CMake package (find_package(KVCOM CONFIG) gives
# KVCOM::KVCOM) and kvcom.pc for pkg-config. The private headers and the
# static protocol layer, linked into the library, are not installed.
include(CMakePackageConfigHelpers)

set(KVCOM_RUNTIME_COMPONENT libkvcom${PROJECT_VERSION_MAJOR})
set(KVCOM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KVCOM)

install(TARGETS KVCOM EXPORT KVCOMTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT ${KVCOM_RUNTIME_COMPONENT}
    NAMELINK_COMPONENT libkvcom-dev)
install(FILES include/kvcom/kvcom.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kvcom COMPONENT libkvcom-dev)

install(EXPORT KVCOMTargets NAMESPACE KVCOM:: DESTINATION ${KVCOM_CMAKE_DIR}
  COMPONENT libkvcom-dev)
configure_package_config_file(KVCOMConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KVCOMConfig.cmake
  INSTALL_DESTINATION ${KVCOM_CMAKE_DIR})
# 2.30 serves a program that asks for 2.x up to 2.30; 3.0 would break it.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KVCOMConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KVCOMConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/KVCOMConfigVersion.cmake
  DESTINATION ${KVCOM_CMAKE_DIR} COMPONENT libkvcom-dev)

# kvcom.pc names the prefix the library is installed to, which is known only
# at install time (cmake --install --prefix, or /usr inside a package), so
# it is written then.
set(KVCOM_PC ${CMAKE_CURRENT_BINARY_DIR}/kvcom.pc)
install(CODE "
  set(KVCOM_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(KVCOM_PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(KVCOM_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(KVCOM_PC_VERSION \"${PROJECT_VERSION}\")
  cmake_path(ABSOLUTE_PATH KVCOM_PC_INCLUDEDIR BASE_DIRECTORY \"\${KVCOM_PC_PREFIX}\")
  cmake_path(ABSOLUTE_PATH KVCOM_PC_LIBDIR BASE_DIRECTORY \"\${KVCOM_PC_PREFIX}\")
  configure_file(\"${CMAKE_CURRENT_SOURCE_DIR}/kvcom.pc.in\" \"${KVCOM_PC}\" @ONLY)
" COMPONENT libkvcom-dev)
install(FILES ${KVCOM_PC} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT libkvcom-dev)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/man/kvcom.3
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT libkvcom-dev)
