# FFmpeg for a Windows build made on Linux without Windows FFmpeg binaries: the headers of
# the build machine's FFmpeg (the same on x86-64 Windows: avconfig.h says little-endian,
# fast unaligned access, and nothing else of the platform), and import libraries for the
# DLLs of that very release, made with dlltool from the FFmpeg functions the objects call.
set(VORLO_FFMPEG_HEADERS "/usr/include/x86_64-linux-gnu" CACHE PATH
    "the folder holding libavformat/ libavcodec/ libavutil/ libswresample/ headers")
set(VORLO_FFMPEG_SHARED_LIBS "/usr/lib/x86_64-linux-gnu" CACHE PATH
    "the same release's shared libraries, which tell which library defines which function")
find_program(VORLO_HOST_NM nm REQUIRED)
if(NOT CMAKE_DLLTOOL)
  message(FATAL_ERROR "CMAKE_DLLTOOL is not set: use the toolchain file mingw-w64-x86_64.cmake")
endif()

# Only FFmpeg's own folders go on the include path: the rest of a Linux include folder
# would shadow the C library headers of mingw.
set(include_dir ${CMAKE_CURRENT_BINARY_DIR}/ffmpeg-include)
set(import_dir ${CMAKE_CURRENT_BINARY_DIR}/ffmpeg-imports)
file(MAKE_DIRECTORY ${include_dir} ${import_dir})
set(dlls)
set(import_libs)
foreach(lib ${VORLO_FFMPEG_LIBS})
  if(NOT EXISTS ${VORLO_FFMPEG_HEADERS}/lib${lib}/version.h)
    message(FATAL_ERROR "no FFmpeg headers lib${lib}/ in ${VORLO_FFMPEG_HEADERS}")
  endif()
  file(CREATE_LINK ${VORLO_FFMPEG_HEADERS}/lib${lib} ${include_dir}/lib${lib} SYMBOLIC)
  # FFmpeg names its DLLs after the major version: avformat-59.dll for libavformat 59.
  string(TOUPPER ${lib} upper)
  file(GLOB version_headers ${VORLO_FFMPEG_HEADERS}/lib${lib}/version*.h)
  set(major "")
  foreach(header ${version_headers})
    file(STRINGS ${header} line REGEX "^#define LIB${upper}_VERSION_MAJOR +[0-9]+")
    if(line)
      string(REGEX REPLACE ".* ([0-9]+)$" "\\1" major "${line}")
    endif()
  endforeach()
  if(NOT major)
    message(FATAL_ERROR "LIB${upper}_VERSION_MAJOR not found in lib${lib}/version*.h")
  endif()
  list(APPEND dlls ${lib}-${major}.dll)
  list(APPEND import_libs ${import_dir}/lib${lib}.dll.a)
endforeach()
message(STATUS "FFmpeg DLLs: ${dlls}")
string(REPLACE ";" "\n" dll_lines "${dlls}")
file(WRITE ${CMAKE_BINARY_DIR}/ffmpeg-dlls.txt "${dll_lines}\n")
# This build has no DLLs to put beside the external (see ffmpeg-windows-build.cmake).
file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/support ${CMAKE_BINARY_DIR}/ffmpeg-build-info.txt)

target_include_directories(vorlo_objects SYSTEM PRIVATE ${include_dir})
add_custom_command(OUTPUT ${import_libs}
  COMMAND ${CMAKE_COMMAND}
    "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:vorlo_objects>,|>"
    "-DLIBRARIES=${VORLO_FFMPEG_LIBS}" "-DDLLS=${dlls}"
    -DSHARED_LIBS=${VORLO_FFMPEG_SHARED_LIBS} -DOUT_DIR=${import_dir}
    -DNM=${CMAKE_NM} -DHOST_NM=${VORLO_HOST_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
    -P ${CMAKE_CURRENT_LIST_DIR}/ffmpeg-import-libs.cmake
  DEPENDS $<TARGET_OBJECTS:vorlo_objects> ${CMAKE_CURRENT_LIST_DIR}/ffmpeg-import-libs.cmake
  COMMENT "FFmpeg import libraries for ${dlls}"
  VERBATIM)
add_custom_target(vorlo_ffmpeg_imports DEPENDS ${import_libs})
add_dependencies(vorlo_ffmpeg_imports vorlo_objects)
add_dependencies(${PROJECT_NAME} vorlo_ffmpeg_imports)
target_link_libraries(${PROJECT_NAME} PRIVATE ${import_libs})
