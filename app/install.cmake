# Installs what the desktop needs besides the program: the outside resource
# file kalvore.rcc with the logo, the .desktop entry, the MIME type of
# program files (.syx) and the program icon.

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
install(FILES ${KV_RCC_OUT} DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvore)

set(KV_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${KV_PACKAGING}/kalvore-758.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KV_PACKAGING}/kalvore-758.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${KV_PACKAGING}/kalvore-758.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES ${KV_PACKAGING}/kalvore-758-128.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME kalvore-758.png)

# Refresh the desktop's caches when installing straight into a live system
# (not when staging into DESTDIR for a package).
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    find_program(KV_UPDATE_MIME update-mime-database)
    if(KV_UPDATE_MIME)
      execute_process(COMMAND ${KV_UPDATE_MIME} "${CMAKE_INSTALL_PREFIX}/share/mime" OUTPUT_QUIET ERROR_QUIET)
    endif()
    find_program(KV_UPDATE_DESKTOP update-desktop-database)
    if(KV_UPDATE_DESKTOP)
      execute_process(COMMAND ${KV_UPDATE_DESKTOP} "${CMAKE_INSTALL_PREFIX}/share/applications" OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]])
