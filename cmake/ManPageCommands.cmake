# Writes a help2man include file with a COMMANDS section: the --help text of
# each subcommand of a program, as the program prints it, so that the man
# page describes every command and cannot drift from the program.
# cmake -DPROGRAM=<program> -DCOMMANDS=<a,b,c> -DOUTPUT=<file.h2m> -P ManPageCommands.cmake
string(REPLACE "," ";" COMMANDS "${COMMANDS}")
set(text "[COMMANDS]\n")
foreach(command ${COMMANDS})
  execute_process(COMMAND ${PROGRAM} ${command} --help
                  OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR help STREQUAL "")
    message(FATAL_ERROR "${PROGRAM} ${command} --help failed (${status})")
  endif()
  # Plain text for roff: backslashes escaped, no line taken for a request.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(REGEX REPLACE "\n+$" "" help "${help}")
  get_filename_component(name ${PROGRAM} NAME)
  string(APPEND text ".SS \"${name} ${command}\"\n.nf\n${help}\n.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")
