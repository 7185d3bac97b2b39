# run(command...): runs a step of an integration script, failing the test on a non-zero exit
# with the output shown; the output is left in `output`.
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out TIMEOUT 300)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGV}\n-> ${result}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

# The emulated camera with the ramp scene, unpaced, with a device-use table and settings of
# this run only (other test processes may hold camera 0).
function(use_own_emulated_camera work_dir)
  set(ENV{IMVELA_EMULATOR} 0)
  set(ENV{IMVELA_EMULATOR_SCENE} ramp)
  set(ENV{IMVELA_EMULATOR_FPS} 0)
  string(MD5 run_id "${work_dir}")
  set(ENV{IMVELA_SHM_NAME} "imvela_integration_${run_id}")
  set(ENV{IMVELA_SETTINGS_ROOT} "Software\\ImvelaIntegration\\${run_id}")
  set(ENV{XDG_CONFIG_HOME} ${work_dir}/config)
endfunction()
