# Writes the module definition of MaxAudio.dll: every function that the SDK's MaxAudio.lib
# names and the host's runtime defines, forwarded to MaxAPI.dll.
#   cmake -DNM=... -DSDK_LIB=MaxAudio.lib -DOBJECTS=a.obj|b.obj -DOUT=MaxAudio.def -P this
string(REPLACE "|" ";" objects "${OBJECTS}")
execute_process(COMMAND ${NM} --defined-only --format=posix ${SDK_LIB}
  OUTPUT_VARIABLE sdk COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${NM} --defined-only --extern-only --format=posix ${objects}
  OUTPUT_VARIABLE host COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "(^|\n)__imp_[A-Za-z_][A-Za-z0-9_]* " names "${sdk}")
list(TRANSFORM names REPLACE "^\n?__imp_([A-Za-z0-9_]+) $" "\\1")
list(REMOVE_DUPLICATES names)
list(SORT names)
set(exports "")
foreach(name ${names})
  if(host MATCHES "(^|\n)${name} T ")
    string(APPEND exports "    ${name} = MaxAPI.${name}\n")
  endif()
endforeach()
if(NOT exports)
  message(FATAL_ERROR "the runtime defines nothing that ${SDK_LIB} names")
endif()
file(WRITE ${OUT} "LIBRARY MaxAudio.dll\nEXPORTS\n${exports}")
