# run(command...): a step of an integration script; a non-zero exit fails the test, showing
# the output, which is left in `output`.
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out TIMEOUT 300)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGV}\n-> ${result}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

# The emulated camera, ramp scene, unpaced; a device-use table and settings of this run only.
function(use_own_emulated_camera work_dir)
  string(MD5 run_id "${work_dir}")
  foreach(setting IMVELA_EMULATOR=0 IMVELA_EMULATOR_SCENE=ramp IMVELA_EMULATOR_FPS=0 IMVELA_SHM_NAME=imvela_${run_id}
                  XDG_CONFIG_HOME=${work_dir}/config "IMVELA_SETTINGS_ROOT=Software\\ImvelaIntegration\\${run_id}")
    string(REGEX MATCH "^([^=]+)=(.*)$" _ "${setting}")
    set(ENV{${CMAKE_MATCH_1}} "${CMAKE_MATCH_2}")
  endforeach()
endfunction()
