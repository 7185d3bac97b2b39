# Writes a C program that takes the address of every function the public header declares
# (the ImvelaMsg_ functions only where the header declares them, off Windows). Linked against
# the shared library, it fails to link as soon as the header names a function the library
# does not export.
function(imvela_header_linkage_source header output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(STRINGS ${header} lines REGEX "IMVELA_CALL[ \t]+[A-Za-z0-9_]+[ \t]*\\(")
  set(common "")
  set(posix "")
  foreach(line ${lines})
    string(REGEX MATCH "IMVELA_CALL[ \t]+([A-Za-z0-9_]+)" declaration "${line}")
    set(name ${CMAKE_MATCH_1})
    if(name MATCHES "^ImvelaMsg_")
      string(APPEND posix "        (entry)${name},\n")
    else()
      string(APPEND common "        (entry)${name},\n")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT ${output} @ONLY CONTENT [=[
/* Made by cmake/header_linkage.cmake from the public header. */
#include <stdio.h>
#include "ImvelaSdk.h"

typedef void (*entry)(void);

int main(void) {
    const entry entries[] = {
@common@#if !defined(_WIN32)
@posix@#endif
    };
    size_t i, missing = 0;
    for (i = 0; i < sizeof entries / sizeof entries[0]; ++i)
        if (!entries[i]) ++missing;
    printf("%u declared functions, %u without an address\n", (unsigned)i, (unsigned)missing);
    return missing == 0 ? 0 : 1;
}
]=])
endfunction()
