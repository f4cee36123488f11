# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix threads variant, which
# std::thread needs): `cmake --preset windows`. The programs link their C and C++ runtimes in
# statically, so leafward-cli.exe runs on a bare Windows without any DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LEAFWARD_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LEAFWARD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LEAFWARD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LEAFWARD_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LEAFWARD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# CMake would switch back to dynamic libraries after a static one named by its path (odbc32),
# and the C++ runtime comes last.
set(CMAKE_LINK_SEARCH_START_STATIC ON)
set(CMAKE_LINK_SEARCH_END_STATIC ON)

# Tests run under Wine: see cmake/wine.cmake.
set(LEAFWARD_RUN_UNDER_WINE ON CACHE BOOL "Run the cross-built tests under Wine")
