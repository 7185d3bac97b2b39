# Fails when a source file or a resource script includes a file from a folder on a higher
# level than its own.
# The folders form these levels, highest first; a folder may include its own headers and
# those of any lower level:
#   api > dialogs > camera > {preview, files} > {imaging, device, emulator, settings} > driver > platform
#   cmake -DROOT=<checkout> -P scripts/check-layers.cmake
set(level_api 7)
set(level_dialogs 6)
set(level_camera 5)
set(level_files 4)
set(level_preview 4)
set(level_imaging 3)
set(level_device 3)
set(level_emulator 3)
set(level_settings 3)
set(level_driver 2)
set(level_platform 1)
set(folders api dialogs camera preview files imaging device emulator settings driver platform)

if(NOT ROOT)
  get_filename_component(ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()

# Every first-level folder holding sources must have a level, so a new one is placed deliberately.
file(GLOB top RELATIVE "${ROOT}" "${ROOT}/*")
set(unplaced "")
foreach(entry ${top})
  if(IS_DIRECTORY "${ROOT}/${entry}" AND NOT entry MATCHES "^(\\.|build|include|tests|bench|tools|scripts|cmake|examples|python)")
    file(GLOB_RECURSE sources "${ROOT}/${entry}/*.cpp" "${ROOT}/${entry}/*.h" "${ROOT}/${entry}/*.rc")
    list(FIND folders "${entry}" known)
    if(sources AND known EQUAL -1)
      list(APPEND unplaced "${entry}")
    endif()
  endif()
endforeach()

set(violations "")
foreach(folder ${folders})
  # Resource scripts (.rc, and the .rci pieces they include) are read as the sources are.
  file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.inc"
       "${ROOT}/${folder}/*.rc" "${ROOT}/${folder}/*.rci")
  foreach(source ${sources})
    file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*" "\\1" target "${line}")
      if(target STREQUAL folder)
        continue()
      endif()
      if(NOT DEFINED level_${target})
        list(APPEND violations "${source}: includes from '${target}', which has no level")
      elseif(NOT level_${target} LESS level_${folder})
        list(APPEND violations "${source}: ${folder} (level ${level_${folder}}) includes ${target} (level ${level_${target}})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(unplaced)
  list(APPEND violations "folders without a level in scripts/check-layers.cmake: ${unplaced}")
endif()
if(violations)
  string(REPLACE ";" "\n  " text "${violations}")
  message(FATAL_ERROR "Includes against the folder levels:\n  ${text}")
endif()
message(STATUS "folder levels: no upward include")
