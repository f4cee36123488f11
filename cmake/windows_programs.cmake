# Windows programs: each carries a version resource and a manifest that makes UTF-8 its ANSI
# code page, so that paths and arguments never pass through a local 8-bit code page.
#   leafward_windows_program(TARGET [DESCRIPTION text] [MANIFEST file] [EXTRA rc-lines])
set(LEAFWARD_WINDOWS_RESOURCES ${PROJECT_SOURCE_DIR}/src/resources/windows)

# Every Windows program links the GCC runtimes in (libstdc++, libgcc and winpthreads), whichever
# MinGW-w64 GCC builds it, the cross compiler here or MSYS2's on Windows: a user's PC has none of
# their DLLs, only the system's. scripts/check-windows-imports.sh holds the programs to that.
if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # CMake would switch back to dynamic libraries after a library named by its path (odbc32), and
  # the C++ runtime comes last: static from the first library to the last.
  set(CMAKE_LINK_SEARCH_START_STATIC ON)
  set(CMAKE_LINK_SEARCH_END_STATIC ON)
endif()

function(leafward_windows_program target)
  cmake_parse_arguments(ARG "" "DESCRIPTION;MANIFEST;EXTRA" "" ${ARGN})
  set(LEAFWARD_RC_NAME ${target})
  if(ARG_DESCRIPTION)
    set(LEAFWARD_RC_DESCRIPTION "${ARG_DESCRIPTION}")
  else()
    set(LEAFWARD_RC_DESCRIPTION "Leafward ${target}")
  endif()
  if(ARG_MANIFEST)
    set(LEAFWARD_RC_MANIFEST ${ARG_MANIFEST})
  else()
    set(LEAFWARD_RC_MANIFEST ${LEAFWARD_WINDOWS_RESOURCES}/utf8.manifest)
  endif()
  set(LEAFWARD_RC_EXTRA "${ARG_EXTRA}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${LEAFWARD_RC_MANIFEST})
endfunction()
