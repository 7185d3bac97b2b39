# Cross build of the 32-bit Windows DLL with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(IMVELA_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
# SSE arithmetic so floating-point results equal the 64-bit native build bit for bit.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
