# Installing and packaging: `cmake --install`, then CPack makes a ZIP on Windows (the programs
# at its top, with the Qt files the window needs when it was built) and a .deb on Debian (with
# a desktop entry and the icon for the window).
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
  if(WIN32)
    # The Qt DLLs, plugins and translations beside leafward.exe, as windeployqt gathers them.
    find_program(LEAFWARD_WINDEPLOYQT NAMES windeployqt windeployqt6 windeployqt-qt6
                 HINTS ${QT6_INSTALL_PREFIX}/bin ${Qt6_DIR}/../../../bin)
    if(LEAFWARD_WINDEPLOYQT)
      install(CODE "execute_process(COMMAND \"${LEAFWARD_WINDEPLOYQT}\" --release
                      --translations zh_CN \"\${CMAKE_INSTALL_PREFIX}/leafward.exe\"
                    COMMAND_ERROR_IS_FATAL ANY)")
    else()
      message(WARNING "windeployqt not found: the package will lack the window's Qt files")
    endif()
  else()
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
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tdsodbc, qt6-translations-l10n")
endif()
include(CPack)
