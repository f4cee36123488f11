# Running the cross-built tests under Wine: every test program (and gtest_discover_tests) goes
# through a wrapper that uses a Wine prefix inside this build folder.
find_program(LEAFWARD_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(LEAFWARD_WINE NAMES wine64 wine)
if(NOT LEAFWARD_WINE)
  message(FATAL_ERROR "Wine is needed to run the Windows tests here (scripts/install-deps.sh)")
endif()
get_filename_component(LEAFWARD_WINE_DIR ${LEAFWARD_WINE} DIRECTORY)
find_program(LEAFWARD_WINESERVER NAMES wineserver64 wineserver PATHS ${LEAFWARD_WINE_DIR}
             NO_DEFAULT_PATH)
find_program(LEAFWARD_WINESERVER NAMES wineserver64 wineserver)
if(NOT LEAFWARD_WINESERVER)
  message(FATAL_ERROR "Wine's wineserver is needed to run the Windows tests here")
endif()
set(LEAFWARD_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
# wine-run.sh runs one program; wine-server.sh holds one server for a whole stage of them.
foreach(script wine-run.sh wine-server.sh)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${script}.in ${CMAKE_BINARY_DIR}/${script}
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                 @ONLY)
endforeach()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# A path on this machine as the Windows programs under Wine see it: Wine's drive Z: is /.
function(leafward_native_path out path)
  set(${out} "Z:${path}" PARENT_SCOPE)
endfunction()
