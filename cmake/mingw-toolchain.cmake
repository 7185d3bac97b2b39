# The part both MinGW-w64 cross builds share (posix thread model); the including toolchain
# file sets CMAKE_SYSTEM_PROCESSOR and IMVELA_MINGW_TRIPLET (which also keys the libraries
# built for that toolchain). The runtime (libgcc, libstdc++, winpthread) is linked in, so
# the DLL needs only system DLLs. Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${IMVELA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${IMVELA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${IMVELA_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${IMVELA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
