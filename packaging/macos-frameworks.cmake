# The bundle carries FFmpeg's four libraries in its own Contents/Frameworks folder and finds
# them there through its rpath; the copies and the external refer to one another by
# @rpath/<name>. An FFmpeg build whose install names are other paths has them changed in the
# copies and the external (which a signature made before must then be made again, as the SDK's
# codesign step does); one built with @rpath install names, as scripts/ffmpeg.sh builds them,
# is copied as it is. The host's MaxAudioAPI and JitterAPI frameworks come from the host
# application (max-posttarget.cmake).
if(NOT CMAKE_OTOOL)
  find_program(CMAKE_OTOOL otool REQUIRED)
endif()
# The one rpath is a link option rather than CMake's INSTALL_RPATH, which CMake leaves out
# when it cannot ask the build machine for its macOS version (a cross-build); CMake's own
# rpaths are none.
target_link_options(${PROJECT_NAME} PRIVATE -Wl,-rpath,@loader_path/../Frameworks)
set_target_properties(${PROJECT_NAME} PROPERTIES BUILD_WITH_INSTALL_RPATH TRUE)
set(frameworks_dir $<TARGET_BUNDLE_CONTENT_DIR:${PROJECT_NAME}>/Frameworks)
set(renames)
set(renamed)
foreach(lib ${VORLO_FFMPEG_LIBS})
  get_filename_component(dylib ${FFMPEG_${lib}_LIBRARY} REALPATH)
  execute_process(COMMAND ${CMAKE_OTOOL} -D ${dylib} OUTPUT_VARIABLE id_listing COMMAND_ERROR_IS_FATAL ANY)
  # The listing's second line; a universal library lists the same name once per slice.
  string(REGEX REPLACE "^[^\n]*\n([^\n]*).*" "\\1" install_name "${id_listing}")
  get_filename_component(name ${install_name} NAME)
  add_custom_command(TARGET ${PROJECT_NAME} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${frameworks_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${dylib} ${frameworks_dir}/${name}
    VERBATIM)
  if(NOT install_name STREQUAL "@rpath/${name}")
    list(APPEND renames -change ${install_name} @rpath/${name})
    list(APPEND renamed ${name})
    add_custom_command(TARGET ${PROJECT_NAME} POST_BUILD
      COMMAND chmod u+w ${frameworks_dir}/${name}
      COMMAND ${CMAKE_INSTALL_NAME_TOOL} -id @rpath/${name} ${frameworks_dir}/${name}
      VERBATIM)
  endif()
endforeach()
if(renames)
  foreach(name ${renamed})
    add_custom_command(TARGET ${PROJECT_NAME} POST_BUILD
      COMMAND ${CMAKE_INSTALL_NAME_TOOL} ${renames} ${frameworks_dir}/${name}
      VERBATIM)
  endforeach()
  add_custom_command(TARGET ${PROJECT_NAME} POST_BUILD
    COMMAND ${CMAKE_INSTALL_NAME_TOOL} ${renames} $<TARGET_FILE:${PROJECT_NAME}>
    VERBATIM)
endif()
