# Cross-build for Windows on 32-bit x86 with Debian's mingw-w64 packages: the device-shaped
# build of the program (cmake/device/), which links no runtime of the compiler's.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
