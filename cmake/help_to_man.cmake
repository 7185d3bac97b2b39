# The imvela manual page, made from the tool's own help: the overview of `imvela --help` and,
# for each command it lists, `imvela COMMAND --help`.
#   cmake -DTOOL=<imvela> -DOUTPUT=<imvela.1> -DVERSION=<1.0> -P help_to_man.cmake
function(help arguments result)  # arguments: a list; result: the output
  execute_process(COMMAND ${TOOL} ${arguments} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out
                  TIMEOUT 20)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} ${arguments} -> ${status}\n${out}")
  endif()
  set(${result} "${out}" PARENT_SCOPE)
endfunction()

# Text as roff: backslashes and minus signs escaped, no line read as a request, no trailing
# empty lines.
function(roff text result)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

help(--help overview)
string(REGEX MATCH "commands:\n(.*)\n\n(.*)$" found "${overview}")
if(NOT found)
  message(FATAL_ERROR "no command list in the tool's help:\n${overview}")
endif()
set(command_lines "${CMAKE_MATCH_1}")
roff("${CMAKE_MATCH_2}" closing)
string(REGEX MATCH "^[^\n]*\n[^\n]*" usage "${overview}")
string(REGEX REPLACE "(^|\n)usage: *" "\\1" usage "${usage}")
string(REGEX REPLACE "\n *" "\n" usage "${usage}")
roff("${usage}" usage)
string(REPLACE "\n" "\n.br\n" usage "${usage}")

string(CONCAT page ".TH IMVELA 1 \"\" \"ImvelaSdk ${VERSION}\" \"User Commands\"\n"
         ".SH NAME\nimvela \\- the command\\-line tool of the M52\\-ZKR camera library\n"
         ".SH SYNOPSIS\n${usage}\n.SH DESCRIPTION\n${closing}\n.SH COMMANDS\n")
string(REGEX MATCHALL "\n  [a-z]+ " names "\n${command_lines}")
foreach(name ${names})
  string(STRIP "${name}" name)
  help("${name};--help" details)
  # "usage: imvela SYNOPSIS", the summary, then the details.
  string(REGEX MATCH "^usage: imvela ([^\n]*)\n(.*)$" found "${details}")
  roff("${CMAKE_MATCH_1}" synopsis)
  roff("${CMAKE_MATCH_2}" text)
  string(FIND "${text}" "\n" end)  # the summary on a line of its own
  if(end GREATER 0)
    string(SUBSTRING "${text}" 0 ${end} summary)
    string(SUBSTRING "${text}" ${end} -1 rest)
    set(text "${summary}\n.br${rest}")
  endif()
  string(APPEND page ".TP\n.B ${synopsis}\n${text}\n")
endforeach()
string(APPEND page ".SH SEE ALSO\nimvela\\-viewer(1), /usr/share/doc/imvela\\-sdk/README.md\n")
file(WRITE ${OUTPUT} "${page}")
