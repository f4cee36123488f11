# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix threads variant, which
# std::thread needs): `cmake --preset windows`. Only the compilers and where the target's files
# are: how the programs link (their runtimes statically) is the project's, in
# cmake/windows_programs.cmake, the same for a build on Windows.
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

# Tests run under Wine: see cmake/wine.cmake.
set(LEAFWARD_RUN_UNDER_WINE ON CACHE BOOL "Run the cross-built tests under Wine")
