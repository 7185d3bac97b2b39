# The image encoders behind still files: libjpeg-turbo (libjpeg API), libpng with zlib and
# libtiff, as the interface target imvela_encoders (its users get the decoders too).
# Native: Debian's -dev packages. Windows: the same libraries cross-built from Debian's source
# packages for the toolchain's MinGW triplet by scripts/build-encoders-mingw.sh, once, into
# build/encoders/<triplet> of the source tree, and linked statically.
add_library(imvela_encoders INTERFACE)
if(WIN32)
  if(NOT IMVELA_MINGW_TRIPLET)
    message(FATAL_ERROR "the toolchain file names no MinGW triplet (IMVELA_MINGW_TRIPLET)")
  endif()
  set(prefix ${CMAKE_SOURCE_DIR}/build/encoders/${IMVELA_MINGW_TRIPLET})
  if(NOT EXISTS ${prefix}/.complete)
    message(STATUS "Cross-building the image encoders for ${IMVELA_MINGW_TRIPLET} into ${prefix}")
    set(launcher "")
    if(CMAKE_C_COMPILER_LAUNCHER)
      set(launcher ${CMAKE_C_COMPILER_LAUNCHER})
    endif()
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env IMVELA_COMPILER_LAUNCHER=${launcher}
              ${CMAKE_SOURCE_DIR}/scripts/build-encoders-mingw.sh ${IMVELA_MINGW_TRIPLET} ${prefix}
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "cross-building the image encoders failed")
    endif()
  endif()
  target_include_directories(imvela_encoders SYSTEM INTERFACE ${prefix}/include)
  # Static archives only: the DLL must import nothing but system DLLs.
  target_link_libraries(imvela_encoders INTERFACE ${prefix}/lib/libtiff.a ${prefix}/lib/libpng16.a
                        ${prefix}/lib/libjpeg.a /usr/${IMVELA_MINGW_TRIPLET}/lib/libz.a)
else()
  find_package(JPEG REQUIRED)
  find_package(PNG REQUIRED)
  find_package(TIFF REQUIRED)
  target_link_libraries(imvela_encoders INTERFACE TIFF::TIFF PNG::PNG JPEG::JPEG)
endif()
