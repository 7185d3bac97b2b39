# What `cpack` makes of an installed build: on Linux a Debian package of the SDK (library,
# header, CMake and pkg-config files, tool, viewer, Python module, manual page, README and
# examples), on Windows a zip of the SDK for the build's architecture (DLL, both import
# libraries, header, CMake and pkg-config files, tool, viewer, README and examples).
# scripts/package.sh builds both.
set(CPACK_PACKAGE_NAME imvela-sdk)
set(CPACK_PACKAGE_VENDOR "Imvela")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SDK of the M52-ZKR USB industrial camera")
set(CPACK_PACKAGE_CONTACT "Imvela SDK team <sdk@imvela.example>")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/examples/CMakeLists.txt ${CMAKE_SOURCE_DIR}/examples/stream_frames.c
              ${CMAKE_SOURCE_DIR}/examples/frame_to_mat.cpp DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

if(WIN32)
  # ImvelaSdk-1.0-win32.zip / -win64.zip, one folder inside.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  set(CPACK_PACKAGE_FILE_NAME ImvelaSdk-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
  include(CPack)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION
    "The C-callable library of the M52-ZKR camera with its emulated camera, the\n"
    "imvela command-line tool, the imvela-viewer live picture, the Python module\n"
    "imvela, the header, CMake and pkg-config files, and example programs.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
# The libraries' dependencies as dpkg-shlibdeps finds them (libc6, libstdc++6, libjpeg62-turbo,
# libpng16-16, libtiff6, libx11-6, ...), and numpy for the Python module. The package's own
# shlibs file and its ldconfig trigger come with the library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-numpy")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/cmake/debian/triggers)

# Debian's documentation files: the copyright and a changelog, compressed without a time stamp.
set(changelog ${CMAKE_BINARY_DIR}/package/changelog)
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(CONFIGURE OUTPUT ${changelog} @ONLY CONTENT [=[
imvela-sdk (@PROJECT_VERSION@) unstable; urgency=medium

  * Release @PROJECT_VERSION@ of the M52-ZKR camera SDK.

 -- @CPACK_PACKAGE_CONTACT@  @changelog_date@
]=])
add_custom_command(OUTPUT ${changelog}.gz COMMAND gzip -9nkf ${changelog} DEPENDS ${changelog} VERBATIM)
add_custom_target(imvela_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${changelog}.gz ${CMAKE_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
include(CPack)
