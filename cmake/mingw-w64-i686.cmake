# Cross build for 32-bit Windows. The program it makes runs on every Windows
# PC: 32-bit Windows, and 64-bit Windows through WoW64.
set(WIZARD_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
