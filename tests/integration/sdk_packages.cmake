# The build's package (cpack), used as a receiver would: the .deb passes lintian, depends on
# what it needs, and unpacked (dpkg-deb -x) its tool, a program built with its pkg-config file
# and its module run; the zip holds the SDK and its tool runs under Wine (EMULATOR). Arguments
# as installed_sdk.cmake's.
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
run(cpack --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})
use_own_emulated_camera(${WORK_DIR})

if(TOOLCHAIN)
  file(GLOB zip ${WORK_DIR}/ImvelaSdk-*-win*.zip)
  file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${WORK_DIR}/unpacked)
  file(GLOB root ${WORK_DIR}/unpacked/ImvelaSdk-*)
  set(expected bin/ImvelaSdk_M52_ZKR.dll bin/imvela.exe bin/imvela-viewer.exe lib/libImvelaSdk_M52_ZKR.dll.a
      lib/ImvelaSdk_M52_ZKR.lib include/ImvelaSdk.h lib/cmake/ImvelaSdk/ImvelaSdkConfig.cmake
      share/doc/imvela-sdk/README.md share/doc/imvela-sdk/examples/stream_frames.c)
  set(tool ${EMULATOR} ${root}/bin/imvela.exe)
else()
  file(GLOB deb ${WORK_DIR}/imvela-sdk_*.deb)
  run(dpkg-deb --field ${deb} Depends)
  foreach(package libc6 libjpeg62-turbo libpng16-16 libtiff6 libx11-6 python3-numpy)
    if(NOT output MATCHES "(^|, )${package}[ ,\n]")
      message(FATAL_ERROR "Depends lacks ${package}: ${output}")
    endif()
  endforeach()
  run(lintian --fail-on error ${deb})
  set(root ${WORK_DIR}/root)
  run(dpkg-deb -x ${deb} ${root})
  set(expected usr/bin/imvela-viewer usr/include/ImvelaSdk.h usr/share/man/man1/imvela.1.gz
      usr/share/doc/imvela-sdk/examples/stream_frames.c)
  set(tool ${root}/usr/bin/imvela)
endif()
foreach(path ${expected})
  if(NOT EXISTS ${root}/${path})
    message(FATAL_ERROR "the package lacks ${path}")
  endif()
endforeach()
run(${tool} list)
if(TOOLCHAIN)
  return()
endif()

# The unpacked tree is no place the loader searches: the tool finds the library through its
# RPATH, the program through the one the README gives a consumer in a custom prefix.
file(GLOB_RECURSE pc_file ${root}/usr/lib/*/ImvelaSdk.pc)
get_filename_component(pc_dir "${pc_file}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --cflags --libs ImvelaSdk)
separate_arguments(flags UNIX_COMMAND "${output}")
run(pkg-config --variable=libdir ImvelaSdk)
string(STRIP "${output}" libdir)
run(cc -std=c99 ${SOURCE_DIR}/examples/stream_frames.c ${flags} -Wl,-rpath,${libdir} -o ${WORK_DIR}/stream_frames)
run(${WORK_DIR}/stream_frames ${WORK_DIR}/frame.bmp)
set(ENV{PYTHONPATH} ${root}/usr/lib/python3/dist-packages)
run(${PYTHON} -c "import imvela\nassert imvela.Camera(color_mode=8).snapshot().shape == (1024, 1280)")
