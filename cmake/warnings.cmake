# The test build (scripts/test.sh) turns warnings into errors, so none slips through.
option(IMVELA_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
function(imvela_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wno-unused-parameter)
  if(IMVELA_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  get_target_property(unity ${target} UNITY_BUILD)
  if(unity)
    # A combined source includes the others as if they were headers: a test fixture in an
    # anonymous namespace then looks like a header's fault. The separately compiled build
    # keeps the warning for real headers.
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
  endif()
endfunction()
