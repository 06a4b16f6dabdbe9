# What both cross builds for Windows share, with Debian's mingw-w64 (posix
# thread model, so that std::thread and std::condition_variable are
# available). The toolchain file of each width sets WIZARD_MINGW_ARCH (the
# processor of its triple) and includes this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${WIZARD_MINGW_ARCH})
set(CMAKE_C_COMPILER ${WIZARD_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${WIZARD_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${WIZARD_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${WIZARD_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests of the Windows layer run under Wine (the 32-bit build under WoW64 in
# the same 64-bit prefix); tests/lib/wine-exec.sh gives each run the prefix
# prepared for the build.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/lib/wine-exec.sh)
