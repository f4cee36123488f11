# Installing and packaging: `cmake --install`, then CPack makes a ZIP and a 64-bit installer on
# Windows (both programs) and a .deb on Debian (with a desktop entry and the icon for the
# window).
include(GNUInstallDirs)
if(WIN32)
  set(LEAFWARD_PROGRAM_DIR .)
  set(LEAFWARD_DOC_DIR .)
else()
  set(LEAFWARD_PROGRAM_DIR ${CMAKE_INSTALL_BINDIR})
  set(LEAFWARD_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/leafward)
endif()

install(TARGETS leafward-cli RUNTIME DESTINATION ${LEAFWARD_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${LEAFWARD_DOC_DIR})
if(TARGET leafward)
  install(TARGETS leafward RUNTIME DESTINATION ${LEAFWARD_PROGRAM_DIR})
  if(NOT WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/leafward.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/src/resources/leafward.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  endif()
endif()

set(CPACK_PACKAGE_NAME leafward)
set(CPACK_PACKAGE_VENDOR "Leafward")
set(CPACK_PACKAGE_CONTACT "Leafward developers <leafward@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Finds and repairs wrong leaf flags in accounting account sets (Access .mdb, SQL Server)")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  # A portable ZIP and a 64-bit installer, both with the window and the command-line program.
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  # The installer is a 64-bit program (makensis's amd64-unicode target): it installs into the
  # 64-bit Program Files and registers itself in the 64-bit registry. A 32-bit installer would
  # not even start on a Windows without 32-bit support.
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  # No version in the folder, so that an upgrade replaces the old programs.
  set(CPACK_PACKAGE_INSTALL_DIRECTORY "Leafward")
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Leafward")
  set(CPACK_NSIS_PACKAGE_NAME "Leafward")
  set(CPACK_NSIS_DISPLAY_NAME "Leafward")
  set(CPACK_NSIS_MENU_LINKS "leafward.exe" "Leafward")
  set(CPACK_NSIS_INSTALLED_ICON_NAME "leafward.exe")
  set(CPACK_NSIS_MUI_ICON "${LEAFWARD_WINDOW_ICON}")
  set(CPACK_NSIS_MUI_UNIICON "${LEAFWARD_WINDOW_ICON}")
  set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tdsodbc, qt6-translations-l10n")
endif()
include(CPack)
