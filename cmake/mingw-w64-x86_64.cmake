# Cross-build for Windows x86-64 with Debian's mingw-w64 packages.
# The posix thread-model drivers give host code std::thread and std::mutex;
# everything is linked statically so the binaries need only system DLLs and MCRLIB.dll.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
