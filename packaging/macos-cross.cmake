# Cross-compiling the macOS bundle on Linux, one architecture per build folder (the slices are
# joined afterwards, see scripts/build-macos.sh):
#   -DCMAKE_TOOLCHAIN_FILE=packaging/macos-cross.cmake -DVORLO_MACOS_ARCH=arm64|x86_64
# Compiler and linker are packaging/macos-cross-cc (zig compiles, ld64.lld-14 links); the
# binary tools are llvm-14's. There is no codesign here: ld64.lld signs the arm64 slice ad hoc
# as it links it, and nothing may change a binary after its link.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20) # Darwin 20: macOS 11.0, the oldest that zig 0.11 has headers for
if(NOT VORLO_MACOS_ARCH MATCHES "^(arm64|x86_64)$")
  message(FATAL_ERROR "VORLO_MACOS_ARCH must be arm64 or x86_64, not \"${VORLO_MACOS_ARCH}\"")
endif()
# try_compile projects read this file again, and are handed the architecture for it.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VORLO_MACOS_ARCH)
set(CMAKE_SYSTEM_PROCESSOR ${VORLO_MACOS_ARCH})
set(CMAKE_OSX_ARCHITECTURES ${VORLO_MACOS_ARCH} CACHE STRING "the bundle's architecture in this folder" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET 11.0 CACHE STRING "fixed by the compiler's target" FORCE)
set(CMAKE_OSX_SYSROOT "" CACHE PATH "the compiler brings its own" FORCE)

set(vorlo_cross_cc ${CMAKE_CURRENT_LIST_DIR}/macos-cross-cc)
set(CMAKE_C_COMPILER ${vorlo_cross_cc} ${VORLO_MACOS_ARCH} cc)
set(CMAKE_CXX_COMPILER ${vorlo_cross_cc} ${VORLO_MACOS_ARCH} c++)
set(CMAKE_AR llvm-ar-14 CACHE FILEPATH "")
set(CMAKE_RANLIB llvm-ranlib-14 CACHE FILEPATH "")
set(CMAKE_NM llvm-nm-14 CACHE FILEPATH "")
set(CMAKE_STRIP llvm-strip-14 CACHE FILEPATH "")
set(CMAKE_OTOOL llvm-otool-14 CACHE FILEPATH "")
set(CMAKE_INSTALL_NAME_TOOL llvm-install-name-tool-14 CACHE FILEPATH "")
set(MAX_SDK_CODESIGN_EXTERNS OFF CACHE BOOL "the linker signs the arm64 slice" FORCE)
