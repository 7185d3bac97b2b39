# The installed SDK: include/, lib/ (bin/ for the DLL), a CMake package
# (find_package(ImvelaSdk) gives ImvelaSdk::ImvelaSdk) and a pkg-config file. The Windows
# install also carries two import libraries: the linker's libImvelaSdk_M52_ZKR.dll.a for
# MinGW, and ImvelaSdk_M52_ZKR.lib for the Microsoft linker, made by the toolchain's dlltool
# from the same .def file as the DLL (cdecl names, undecorated in the DLL).
# README, examples, changelog and copyright under the package's name, as Debian keeps them.
set(CMAKE_INSTALL_DOCDIR share/doc/imvela-sdk)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Installed programs find the library of their own tree, wherever it was installed to (a
# prefix whose library folder the loader does not search needs no LD_LIBRARY_PATH).
if(NOT WIN32)
  set(CMAKE_INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()

function(imvela_install_package target def_file)
  set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/ImvelaSdk)
  set_target_properties(${target} PROPERTIES EXPORT_NAME ImvelaSdk)
  if(NOT WIN32)
    # libImvelaSdk_M52_ZKR.so.1 (the name programs load) -> .so.1.0, and the .so that the
    # linker finds. The DLL keeps its one name.
    set_target_properties(${target} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
                                               INSTALL_RPATH "")
  endif()
  target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include>
                                                 $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  install(TARGETS ${target} EXPORT ImvelaSdkTargets
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/include/ImvelaSdk.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT ImvelaSdkTargets NAMESPACE ImvelaSdk:: DESTINATION ${package_dir})

  set(config ${CMAKE_BINARY_DIR}/package/ImvelaSdkConfig.cmake)
  file(CONFIGURE OUTPUT ${config} @ONLY CONTENT "include(\"\${CMAKE_CURRENT_LIST_DIR}/ImvelaSdkTargets.cmake\")\n")
  # The version file also refuses a package of the other pointer size (a 32-bit DLL for a
  # 64-bit application).
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/ImvelaSdkConfigVersion.cmake
                                   VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${config} ${CMAKE_BINARY_DIR}/package/ImvelaSdkConfigVersion.cmake DESTINATION ${package_dir})

  # Relocatable: the prefix is found from the .pc file's own place.
  file(RELATIVE_PATH pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  set(pc_file ${CMAKE_BINARY_DIR}/package/ImvelaSdk.pc)
  file(CONFIGURE OUTPUT ${pc_file} @ONLY CONTENT [=[
prefix=${pcfiledir}/@pc_to_prefix@
includedir=${prefix}/@CMAKE_INSTALL_INCLUDEDIR@
libdir=${prefix}/@CMAKE_INSTALL_LIBDIR@

Name: ImvelaSdk
Description: M52-ZKR USB camera SDK
Version: @PROJECT_VERSION@
Cflags: -I${includedir}
Libs: -L${libdir} -lImvelaSdk_M52_ZKR
]=])
  install(FILES ${pc_file} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

  if(WIN32)
    set(msvc_lib ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/ImvelaSdk_M52_ZKR.lib)
    add_custom_command(OUTPUT ${msvc_lib}
                       COMMAND ${CMAKE_DLLTOOL} -d ${def_file} -D ImvelaSdk_M52_ZKR.dll -l ${msvc_lib}
                       DEPENDS ${def_file} VERBATIM)
    add_custom_target(imvela_msvc_import_library ALL DEPENDS ${msvc_lib})
    install(FILES ${msvc_lib} DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endfunction()
