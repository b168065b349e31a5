# Installs what the desktop needs besides the program: the outside resource
# file kalvore.rcc with the logo, the .desktop entry, the MIME type of
# program files (.syx), the program icon, the AppStream metainfo and the
# manual page. All of it goes into the package kalvore-758.

# kalvore.rcc is built beside the program, where it finds it when run from
# the build folder, and installed to the data folder it also searches.
set(KV_RCC_QRC ${CMAKE_CURRENT_SOURCE_DIR}/resources/kalvore/kalvore.qrc)
set(KV_RCC_OUT ${CMAKE_CURRENT_BINARY_DIR}/kalvore.rcc)
add_custom_command(
  OUTPUT ${KV_RCC_OUT}
  COMMAND Qt6::rcc --binary -o ${KV_RCC_OUT} ${KV_RCC_QRC}
  DEPENDS ${KV_RCC_QRC} ${CMAKE_CURRENT_SOURCE_DIR}/resources/kalvore/logo.png
  COMMENT "Packing kalvore.rcc"
  VERBATIM)
add_custom_target(kalvore_rcc ALL DEPENDS ${KV_RCC_OUT})
install(FILES ${KV_RCC_OUT} DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvore COMPONENT kalvore-758)

set(KV_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${KV_PACKAGING}/kalvore-758.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT kalvore-758)
# Only the MIME type's source: the database built from it (mime.cache,
# globs, magic, ...) belongs to the system, which rebuilds it.
install(FILES ${KV_PACKAGING}/kalvore-758.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        COMPONENT kalvore-758)
install(FILES ${KV_PACKAGING}/kalvore-758.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps COMPONENT kalvore-758)
install(FILES ${KV_PACKAGING}/kalvore-758-128.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME kalvore-758.png
        COMPONENT kalvore-758)
install(FILES ${KV_PACKAGING}/com.kalvore.kalvore758.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT kalvore-758)
install(FILES ${KV_PACKAGING}/man/758.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT kalvore-758)

# Installing straight into a live system or home (not staging into DESTDIR,
# as a package build does), refresh the desktop's MIME and application
# caches, but only those already there: a fresh prefix gets no generated
# files, so nothing is written there that a package would not own. Without
# a cache run update-mime-database PREFIX/share/mime yourself.
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    set(kv_mime "${CMAKE_INSTALL_PREFIX}/share/mime")
    find_program(KV_UPDATE_MIME update-mime-database)
    if(KV_UPDATE_MIME AND EXISTS "${kv_mime}/mime.cache")
      execute_process(COMMAND ${KV_UPDATE_MIME} "${kv_mime}" OUTPUT_QUIET ERROR_QUIET)
    endif()
    set(kv_apps "${CMAKE_INSTALL_PREFIX}/share/applications")
    find_program(KV_UPDATE_DESKTOP update-desktop-database)
    if(KV_UPDATE_DESKTOP AND EXISTS "${kv_apps}/mimeinfo.cache")
      execute_process(COMMAND ${KV_UPDATE_DESKTOP} "${kv_apps}" OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]] COMPONENT kalvore-758)
