# The test build (scripts/test.sh) turns warnings into errors, so none slips through.
option(IMVELA_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
function(imvela_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wno-unused-parameter)
  if(IMVELA_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
