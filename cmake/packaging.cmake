# Installing and packaging: `cmake --install`, then CPack makes a ZIP and a 64-bit installer on
# Windows (both programs) and a .deb on Debian (with a desktop entry and the icon for the
# window, manual pages, the copyright and the changelog, as Debian's policy asks;
# scripts/check-package.sh holds it against lintian).
include(GNUInstallDirs)
set(LEAFWARD_PACKAGE_MAINTAINER "Leafward maintainers <maintainers@users.noreply.c-seed-93274534.example>"
    CACHE STRING "Who the Debian package names as its maintainer (name <address>)")
if(WIN32)
  set(LEAFWARD_PROGRAM_DIR .)
  set(LEAFWARD_DOC_DIR .)
else()
  set(LEAFWARD_PROGRAM_DIR ${CMAKE_INSTALL_BINDIR})
  set(LEAFWARD_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/leafward)
endif()

install(TARGETS leafward-cli RUNTIME DESTINATION ${LEAFWARD_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${LEAFWARD_DOC_DIR})

# Debian's documents: the version and maintainer filled in, the changelog and the manual pages
# compressed as Debian wants them (gzip -9, without a name or time stamp inside).
function(leafward_debian_document source destination)
  get_filename_component(name ${source} NAME)
  set(filled ${CMAKE_BINARY_DIR}/packaging/${name})
  configure_file(${source} ${filled} @ONLY)
  if(ARGN)
    execute_process(COMMAND gzip -9n -c ${filled} OUTPUT_FILE ${filled}.gz
                    COMMAND_ERROR_IS_FATAL ANY)
    set(filled ${filled}.gz)
  endif()
  install(FILES ${filled} DESTINATION ${destination})
endfunction()
if(NOT WIN32)
  set(linux_packaging ${PROJECT_SOURCE_DIR}/packaging/linux)
  leafward_debian_document(${linux_packaging}/copyright ${LEAFWARD_DOC_DIR})
  leafward_debian_document(${linux_packaging}/changelog ${LEAFWARD_DOC_DIR} COMPRESSED)
  leafward_debian_document(${linux_packaging}/leafward-cli.1 ${CMAKE_INSTALL_MANDIR}/man1 COMPRESSED)
  if(TARGET leafward)
    leafward_debian_document(${linux_packaging}/leafward.1 ${CMAKE_INSTALL_MANDIR}/man1 COMPRESSED)
  endif()
endif()
if(TARGET leafward)
  install(TARGETS leafward RUNTIME DESTINATION ${LEAFWARD_PROGRAM_DIR})
  if(NOT WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/leafward.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/src/resources/leafward.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  endif()
endif()

# The values below reach CPack as written (NSIS commands hold quotes and backslashes).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME leafward)
set(CPACK_PACKAGE_VENDOR "Leafward")
set(CPACK_PACKAGE_CONTACT "${LEAFWARD_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check and repair leaf flags of accounting account codes")
# Lines of at most 80 characters, none beginning with a dot.
set(CPACK_PACKAGE_DESCRIPTION
    "Leafward audits the account codes of an accounting account set, kept in a
Microsoft Access file (.mdb) or in a Microsoft SQL Server database: a code with
a longer code under it is not a leaf, and its leaf flag must say so. It lists
the codes whose flag is wrong, checks the stored coding scheme against the code
lengths in use, and repairs the flags in place, each repair all or nothing
through a rollback journal beside the file.

The package holds the window (leafward, Qt 6) and the command-line program
leafward-cli, which does the same from a shell and also runs SELECT statements
on Access files. SQL Server is reached through ODBC, with FreeTDS on Linux.")
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
  # The project has no web site, so its entry names none (no URLInfoAbout, no HelpLink).
  set(LEAFWARD_NSIS_UNINSTALL_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Leafward")
  # FileFunc.nsh for the size of the installed folder.
  string(APPEND CPACK_NSIS_DEFINES "\n!include \"FileFunc.nsh\"")
  # Apps and features reads NoModify and NoRepair as numbers (CPack writes them as text), the
  # size in KB and where Leafward lies.
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  WriteRegDWORD SHCTX \"${LEAFWARD_NSIS_UNINSTALL_KEY}\" \"NoModify\" 1
  WriteRegDWORD SHCTX \"${LEAFWARD_NSIS_UNINSTALL_KEY}\" \"NoRepair\" 1
  WriteRegStr SHCTX \"${LEAFWARD_NSIS_UNINSTALL_KEY}\" \"InstallLocation\" \"$INSTDIR\"
  \${GetSize} \"$INSTDIR\" \"/S=0K\" $0 $1 $2
  WriteRegDWORD SHCTX \"${LEAFWARD_NSIS_UNINSTALL_KEY}\" \"EstimatedSize\" $0")
  # Everything under Software\\Leafward is the installer's own (the window keeps no settings in
  # the registry): CPack removes only its subkey and would leave the empty key behind.
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  DeleteRegKey SHCTX \"Software\\Leafward\"")
  # The uninstaller's last page says that the records of repairs stay: they are the user's, and
  # what an auditor asks for after the program is gone. CPack's own script has no such page: it
  # is made from CPack's script with the page added.
  # The page's text passes through InstallOptions (CPack's script is of Modern UI 1), which reads
  # \r\n as a line break and \\ as one backslash.
  set(LEAFWARD_NSIS_RECORDS_NOTE
      "Leafward has been removed from your computer.\\r\\n\\r\\nThe records of the repairs Leafward made are kept: they are in %LOCALAPPDATA%\\\\Leafward\\\\repairs\\\\ (one file per account set). Delete that folder yourself once nobody needs them.")
  file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in leafward_nsis_script)
  set(leafward_nsis_last_page "!insertmacro MUI_UNPAGE_INSTFILES")
  string(FIND "${leafward_nsis_script}" "${leafward_nsis_last_page}" leafward_at)
  if(leafward_at EQUAL -1)
    message(FATAL_ERROR "CPack's NSIS script has no '${leafward_nsis_last_page}' to follow")
  endif()
  string(REPLACE "${leafward_nsis_last_page}" "${leafward_nsis_last_page}
  !define MUI_FINISHPAGE_TITLE \"Leafward has been removed\"
  !define MUI_FINISHPAGE_TEXT \"${LEAFWARD_NSIS_RECORDS_NOTE}\"
  !define MUI_FINISHPAGE_TEXT_LARGE
  !insertmacro MUI_UNPAGE_FINISH" leafward_nsis_script "${leafward_nsis_script}")
  file(WRITE ${CMAKE_BINARY_DIR}/packaging/nsis/NSIS.template.in "${leafward_nsis_script}")
  list(PREPEND CMAKE_MODULE_PATH ${CMAKE_BINARY_DIR}/packaging/nsis)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tdsodbc, qt6-translations-l10n")
endif()
include(CPack)
