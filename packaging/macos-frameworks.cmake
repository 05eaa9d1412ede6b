# The bundle carries FFmpeg's four libraries in its own Contents/Frameworks folder and finds
# them there through its rpath; the copies and the external refer to one another by
# @rpath/<name>, whatever install names the FFmpeg build gave them. The host's MaxAudioAPI
# and JitterAPI frameworks come from the host application (max-posttarget.cmake).
set_target_properties(${PROJECT_NAME} PROPERTIES
  INSTALL_RPATH "@loader_path/../Frameworks"
  BUILD_WITH_INSTALL_RPATH TRUE)
set(frameworks_dir $<TARGET_BUNDLE_CONTENT_DIR:${PROJECT_NAME}>/Frameworks)
set(renames)
set(copies)
foreach(lib ${VORLO_FFMPEG_LIBS})
  get_filename_component(dylib ${FFMPEG_${lib}_LIBRARY} REALPATH)
  execute_process(COMMAND otool -D ${dylib} OUTPUT_VARIABLE id_listing COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "^[^\n]*\n([^\n]*).*" "\\1" install_name "${id_listing}")
  get_filename_component(name ${install_name} NAME)
  list(APPEND renames -change ${install_name} @rpath/${name})
  list(APPEND copies ${name})
  add_custom_command(TARGET ${PROJECT_NAME} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${frameworks_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${dylib} ${frameworks_dir}/${name}
    COMMAND chmod u+w ${frameworks_dir}/${name}
    COMMAND install_name_tool -id @rpath/${name} ${frameworks_dir}/${name}
    VERBATIM)
endforeach()
foreach(name ${copies})
  add_custom_command(TARGET ${PROJECT_NAME} POST_BUILD
    COMMAND install_name_tool ${renames} ${frameworks_dir}/${name}
    VERBATIM)
endforeach()
add_custom_command(TARGET ${PROJECT_NAME} POST_BUILD
  COMMAND install_name_tool ${renames} $<TARGET_FILE:${PROJECT_NAME}>
  VERBATIM)
