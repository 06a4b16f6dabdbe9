# Cross build for 64-bit Windows.
set(WIZARD_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
