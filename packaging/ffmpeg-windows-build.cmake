# FFmpeg for the Windows external from a Windows FFmpeg build (FFMPEG_DIR: include/, the
# import libraries lib/lib*.dll.a, the DLLs in bin/), such as scripts/ffmpeg.sh 4.3 --windows
# makes. The DLLs that the external imports are copied into support/ beside externals/, as a
# Max package holds them; ffmpeg-dlls.txt names them, and ffmpeg-build-info.txt is the build's
# BUILD-INFO.txt (the source it was built from), when it has one.
target_include_directories(vorlo_objects SYSTEM PRIVATE ${FFMPEG_DIR}/include)
set(support_dir ${CMAKE_BINARY_DIR}/support)
file(REMOVE_RECURSE ${support_dir})
file(MAKE_DIRECTORY ${support_dir})
set(dll_names)
foreach(lib ${VORLO_FFMPEG_LIBS})
  set(import_lib ${FFMPEG_DIR}/lib/lib${lib}.dll.a)
  if(NOT EXISTS ${import_lib})
    message(FATAL_ERROR "no import library ${import_lib}")
  endif()
  target_link_libraries(${PROJECT_NAME} PRIVATE ${import_lib})
  # FFmpeg names a DLL after its library's major version: avformat-58.dll.
  file(GLOB dll ${FFMPEG_DIR}/bin/${lib}-[0-9]*.dll)
  list(LENGTH dll count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "FFMPEG_DIR/bin must hold one ${lib}-MAJOR.dll, not [${dll}]")
  endif()
  file(COPY ${dll} DESTINATION ${support_dir})
  get_filename_component(name ${dll} NAME)
  list(APPEND dll_names ${name})
endforeach()
message(STATUS "FFmpeg DLLs: ${dll_names}")
string(REPLACE ";" "\n" dll_lines "${dll_names}")
file(WRITE ${CMAKE_BINARY_DIR}/ffmpeg-dlls.txt "${dll_lines}\n")
file(REMOVE ${CMAKE_BINARY_DIR}/ffmpeg-build-info.txt)
if(EXISTS ${FFMPEG_DIR}/BUILD-INFO.txt)
  configure_file(${FFMPEG_DIR}/BUILD-INFO.txt ${CMAKE_BINARY_DIR}/ffmpeg-build-info.txt COPYONLY)
endif()
