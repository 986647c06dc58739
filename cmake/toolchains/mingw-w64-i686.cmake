# Cross-build for 32-bit Windows (built, not run: Wine here runs 64-bit only).
set(VELLORAN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
