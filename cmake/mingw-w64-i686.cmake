# Cross build for 32-bit Windows with Debian's mingw-w64 (posix thread model,
# so that std::thread and std::condition_variable are available). The
# program it makes runs on every Windows PC: 32-bit Windows, and 64-bit
# Windows through WoW64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests of the Windows layer run under Wine (WoW64 in the same 64-bit
# prefix); tests/lib/wine-exec.sh gives each run the prefix prepared for the
# build.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/lib/wine-exec.sh)
