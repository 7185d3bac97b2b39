# Runs at install time (python/CMakeLists.txt sets python, libdir, package_source, work):
# installs the package into the module folder of CMAKE_INSTALL_PREFIX.
execute_process(
  COMMAND ${python} -c [=[
import sys, sysconfig
prefix = sys.argv[1]
schemes = sysconfig.get_scheme_names()
if prefix == "/usr" and "deb_system" in schemes:
    path = sysconfig.get_path("purelib", "deb_system", vars={"base": "/usr"})
elif prefix == "/usr/local" and "posix_local" in schemes:
    path = sysconfig.get_path("purelib", "posix_local", vars={"base": "/usr"})
else:
    path = sysconfig.get_path("purelib", "posix_prefix", vars={"base": prefix})
print(path, end="")
]=] ${CMAKE_INSTALL_PREFIX}
  RESULT_VARIABLE status OUTPUT_VARIABLE module_dir)
if(NOT status EQUAL 0 OR NOT module_dir)
  message(FATAL_ERROR "${python} did not name the module folder of ${CMAKE_INSTALL_PREFIX}")
endif()
file(RELATIVE_PATH to_library ${module_dir}/imvela ${CMAKE_INSTALL_PREFIX}/${libdir})
file(WRITE ${work}/_installed_tree.py
     "\"\"\"Written when the package was installed: the library folder, relative to the package.\"\"\"\n"
     "LIBRARY_DIR = \"${to_library}\"\n")
file(INSTALL ${package_source} DESTINATION ${module_dir} FILES_MATCHING PATTERN "*.py"
     PATTERN "__pycache__" EXCLUDE)
file(INSTALL ${work}/_installed_tree.py DESTINATION ${module_dir}/imvela)
