# Writes one import library per FFmpeg DLL, holding exactly the functions that the objects
# call from that library. Which library defines a function is read from the same FFmpeg
# release's shared libraries of the build machine.
#   cmake -DOBJECTS=a.obj|b.obj -DLIBRARIES=avformat;... -DDLLS=avformat-59.dll;...
#         -DSHARED_LIBS=DIR -DOUT_DIR=DIR -DNM=... -DHOST_NM=... -DDLLTOOL=... -P this
string(REPLACE "|" ";" objects "${OBJECTS}")
execute_process(COMMAND ${NM} --undefined-only --format=posix ${objects}
  OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]* U " undefined "${listing}")
list(TRANSFORM undefined REPLACE " U $" "")
list(REMOVE_DUPLICATES undefined)

foreach(lib dll IN ZIP_LISTS LIBRARIES DLLS)
  execute_process(COMMAND ${HOST_NM} -D --defined-only --format=posix ${SHARED_LIBS}/lib${lib}.so
    OUTPUT_VARIABLE defined COMMAND_ERROR_IS_FATAL ANY)
  set(exports "")
  foreach(name ${undefined})
    if(defined MATCHES "(^|\n)${name}(@[^ ]*)? [TWi] ")
      string(APPEND exports "    ${name}\n")
    endif()
  endforeach()
  if(NOT exports)
    message(FATAL_ERROR "the objects call nothing of lib${lib}: is ${SHARED_LIBS} the headers' release?")
  endif()
  file(WRITE ${OUT_DIR}/${lib}.def "LIBRARY ${dll}\nEXPORTS\n${exports}")
  execute_process(COMMAND ${DLLTOOL} --input-def ${OUT_DIR}/${lib}.def --dllname ${dll}
    --output-lib ${OUT_DIR}/lib${lib}.dll.a COMMAND_ERROR_IS_FATAL ANY)
endforeach()
