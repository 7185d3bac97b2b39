# Installs the SDK from BUILD_DIR into WORK_DIR/sdk, builds the examples against it as an
# application would (find_package; pkg-config too when native), and runs them on the
# emulated camera; Windows programs run under Wine (EMULATOR), and a program linked by the
# Microsoft-compatible linker (lld-link) against the .lib import library must reach the DLL.
#   cmake -DSOURCE_DIR=.. -DBUILD_DIR=.. -DWORK_DIR=.. [-DPYTHON=..]
#         [-DTOOLCHAIN=.. -DEMULATOR=.. -DWINDOWS_CC=.. -DPOINTER_SIZE=4|8] -P installed_sdk.cmake
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

set(sdk ${WORK_DIR}/sdk)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${sdk})
set(configure ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${WORK_DIR}/examples -DCMAKE_PREFIX_PATH=${sdk})
if(TOOLCHAIN)
  list(APPEND configure -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
endif()
run(${configure})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/examples)

use_own_emulated_camera(${WORK_DIR})
file(GLOB programs ${WORK_DIR}/examples/stream_frames* ${WORK_DIR}/examples/frame_to_mat*)
list(FILTER programs INCLUDE REGEX "(stream_frames|frame_to_mat)(\\.exe)?$")
if(NOT programs MATCHES "stream_frames" OR (NOT TOOLCHAIN AND NOT programs MATCHES "frame_to_mat"))
  message(FATAL_ERROR "examples missing: ${programs}")
endif()
foreach(program ${programs})
  run(${EMULATOR} ${program} ${WORK_DIR}/frame.out)
  message(STATUS "${output}")
endforeach()
# The saved frame: a 1280 x 1024 24-bit bitmap or binary PPM.
file(SIZE ${WORK_DIR}/frame.out size)
math(EXPR bitmap "14 + 40 + 1280 * 1024 * 3")
math(EXPR ppm "17 + 1280 * 1024 * 3")
if(NOT size EQUAL bitmap AND NOT size EQUAL ppm)
  message(FATAL_ERROR "saved frame has ${size} bytes")
endif()

# The GStreamer plugin, where the build made one: found in the prefix's plugin folder, and
# the library beside it found from there, by GStreamer's own tools.
if(NOT TOOLCHAIN AND EXISTS ${BUILD_DIR}/gstreamer)
  set(ENV{GST_PLUGIN_PATH} ${sdk}/lib/gstreamer-1.0)
  set(ENV{GST_REGISTRY} ${WORK_DIR}/gst-registry.bin)
  run(gst-inspect-1.0 imvelasrc)
  run(gst-launch-1.0 -q imvelasrc num-buffers=3 ! fakesink)
endif()

if(NOT TOOLCHAIN)
  set(ENV{PKG_CONFIG_PATH} ${sdk}/lib/pkgconfig)
  run(pkg-config --cflags --libs ImvelaSdk)
  separate_arguments(flags UNIX_COMMAND "${output}")
  run(cc -std=c99 ${SOURCE_DIR}/examples/stream_frames.c ${flags} -o ${WORK_DIR}/stream_frames_pc)

  # A /usr-like prefix through DESTDIR: the module where the stock interpreter looks for the
  # prefix's modules, finding the library of its tree; the tool through its RPATH.
  set(ENV{DESTDIR} ${WORK_DIR}/root)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr)
  unset(ENV{DESTDIR})
  run(${PYTHON} -c "import sysconfig as s
print(s.get_path('purelib', 'deb_system' if 'deb_system' in s.get_scheme_names() else 'posix_prefix', vars={'base': '/usr'}), end='')")
  set(ENV{PYTHONPATH} ${WORK_DIR}/root${output})
  run(${PYTHON} -c "import imvela, imvela.library as l, sys
assert imvela.Camera(color_mode=8).snapshot().shape == (1024, 1280)
assert l.load()._name.startswith(sys.argv[1] + '/usr/lib/'), l.load()._name" ${WORK_DIR}/root)
  unset(ENV{LD_LIBRARY_PATH})
  run(${WORK_DIR}/root/usr/bin/imvela version)
else()
  # Only the .lib and the DLL's undecorated names: no C runtime, an entry point of its own.
  file(WRITE ${WORK_DIR}/msvc/main.c
       "__declspec(dllimport) int Imvela_GetDllVersion(void);\n"
       "int entry(void) { return Imvela_GetDllVersion() == 0x01B4051F ? 0 : 3; }\n")
  run(${WINDOWS_CC} -c -O2 -fno-asynchronous-unwind-tables ${WORK_DIR}/msvc/main.c -o ${WORK_DIR}/msvc/main.obj)
  set(machine x64)
  if(POINTER_SIZE EQUAL 4)
    set(machine x86 /safeseh:no)
  endif()
  file(COPY ${sdk}/bin/ImvelaSdk_M52_ZKR.dll DESTINATION ${WORK_DIR}/msvc)
  run(lld-link /nologo /machine:${machine} /subsystem:console /entry:entry /nodefaultlib
      /out:${WORK_DIR}/msvc/version.exe ${WORK_DIR}/msvc/main.obj ${sdk}/lib/ImvelaSdk_M52_ZKR.lib)
  run(${EMULATOR} ${WORK_DIR}/msvc/version.exe)
endif()
