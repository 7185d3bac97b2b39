# Cross build of the 64-bit Windows DLL with MinGW-w64, from the same sources and export
# table as the 32-bit one. SSE2 is the x86-64 baseline.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(IMVELA_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
