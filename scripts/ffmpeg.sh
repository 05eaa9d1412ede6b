#!/usr/bin/env bash
# Builds an FFmpeg release from Debian's source package, once per machine, and prints its prefix:
#   scripts/ffmpeg.sh 4.3|7.1 [--windows | --macos | --macos-arm64 | --macos-x86_64]
# Linux: shared libraries with their own ffmpeg and ffprobe (PREFIX/bin/ffmpeg finds PREFIX/lib
# by itself). --windows (4.3 only): the DLLs avformat-58, avcodec-58, avutil-56, swresample-3
# (and avfilter-7) cross-built with mingw-w64, with ffmpeg.exe and ffprobe.exe, in PREFIX/bin.
# --macos-arm64, --macos-x86_64 (4.3 only): libavformat.58.dylib, libavcodec.58.dylib,
# libavutil.56.dylib and libswresample.3.dylib for one architecture, cross-built with
# packaging/macos-cross-cc, with @rpath install names; --macos joins the two (building what is
# missing, one architecture after the other) into universal libraries. No programs for macOS.
# LGPL parts only. Every decoder, demuxer, parser and bitstream filter; of the rest only what the
# ffmpeg program needs to decode audio into WAV or raw samples.
# The build is cached in ${XDG_CACHE_HOME:-~/.cache}/vorlo/ffmpeg/VERSION-PLATFORM-HASH, HASH
# being that of the configure line; a prefix there exists only once its build has finished.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

usage() { echo "usage: scripts/ffmpeg.sh 4.3|7.1 [--windows | --macos | --macos-arm64 | --macos-x86_64]" >&2; exit 2; }
[ $# -ge 1 ] && [ $# -le 2 ] || usage
release=$1
platform=linux
if [ $# -eq 2 ]; then
  case $2 in
    --windows | --macos | --macos-arm64 | --macos-x86_64) platform=${2#--} ;;
    *) usage ;;
  esac
fi

# Each release: the Debian suite whose source index holds it, and the package's version.
case $release in
  4.3) suite=bullseye; debian_version=7:4.3.7-0+deb11u1 ;;
  7.1) suite=trixie; debian_version=7:7.1.5-0+deb13u1 ;;
  *) usage ;;
esac
[ "$platform" = linux ] || [ "$release" = 4.3 ] || { echo "scripts/ffmpeg.sh: --$platform builds 4.3 only" >&2; exit 2; }
upstream_version=${debian_version#*:}
upstream_version=${upstream_version%%-*}

cache=${XDG_CACHE_HOME:-$HOME/.cache}/vorlo/ffmpeg
mkdir -p "$cache"

# What the ffmpeg program needs to decode audio into WAV or raw samples (-f f32le, s16le, ...:
# configure names those muxers pcm_*, and skips a name it does not know without a word), or to
# the null muxer. aresample converts rates, layouts and sample formats (-ar, -ac, -f); the
# filters that the program always inserts are selected by configure itself.
programs_need=(
  --enable-encoder=pcm_u8,pcm_s16le,pcm_s32le,pcm_f32le,pcm_f64le,wrapped_avframe
  --enable-muxer=wav,pcm_u8,pcm_s16le,pcm_s32le,pcm_f32le,pcm_f64le,null
  --enable-filter=aresample
)
cross_tools=()
toolchain_hash=
configure_args=(
  --enable-shared --disable-static --disable-doc --disable-debug
  # No external library but those named below: nothing the machine happens to have installed.
  --disable-autodetect --disable-avdevice --disable-swscale --disable-postproc --disable-network
  --disable-encoders --disable-muxers --disable-filters --disable-devices --disable-ffplay
  "${programs_need[@]}"
)
if [ "$platform" = windows ]; then
  # Debian 12's windres runs its whole --preprocessor value as one program name, which fails on
  # FFmpeg 4.3's version-resource rule: without a windres the DLLs go without that resource.
  # libgcc and winpthread (whose clock_gettime and nanosleep libavutil calls) are linked in, so
  # that the DLLs import Windows' own DLLs only.
  configure_args+=(--enable-cross-compile --cross-prefix=x86_64-w64-mingw32- --arch=x86_64
                   --target-os=mingw32 --windres=/bin/false --extra-ldflags=-static-libgcc
                   --extra-libs=-l:libwinpthread.a)
elif [ "$platform" = linux ]; then
  # $ORIGIN/../lib: the programs find their own libraries wherever the prefix lies. configure
  # evaluates the value once (leaving \$$ORIGIN in config.mak), make turns $$ into $, and the
  # shell of make's recipe takes the \$ as a plain $.
  configure_args+=(--enable-zlib '--extra-ldexeflags=-Wl,-rpath,\\\$\$ORIGIN/../lib')
elif [ "$platform" != macos ]; then
  # macOS, one architecture: the libraries only (programs could not run here), so no
  # libavfilter. The install names are @rpath/libNAME.MAJOR.dylib from the link on, since a
  # change after the link would void the arm64 signature that the linker writes: the bundle
  # finds them in its Frameworks folder, and each finds the others beside itself. Threads
  # are configure's own finding (--enable-pthreads makes it fail instead).
  arch=${platform#macos-}
  configure_args+=(--enable-cross-compile --target-os=darwin "--arch=${arch/arm64/aarch64}"
                   --disable-programs --disable-avfilter --install-name-dir=@rpath
                   '--extra-ldflags=-Wl,-headerpad_max_install_names -Wl,-rpath,@loader_path')
  cross_cc=$top/packaging/macos-cross-cc
  cross_tools=(--cc="$cross_cc $arch cc" --cxx="$cross_cc $arch c++" --ld="$cross_cc $arch cc"
               --ar=llvm-ar-14 --ranlib=llvm-ranlib-14 --nm=llvm-nm-14 --strip=llvm-strip-14
               --pkg-config=/bin/false)
  # The key holds the tools and what the compiler wrapper does, not where the clone lies.
  toolchain_hash=$({ cat "$cross_cc"; printf '%s\n' "${cross_tools[@]//"$top"/}"; } | sha256sum | cut -c1-16)
fi

if [ "$platform" = macos ]; then
  # The universal libraries are made of the two architectures' builds, which make their key.
  slices=()
  for arch in arm64 x86_64; do
    slices+=("$("$top/scripts/ffmpeg.sh" "$release" "--macos-$arch")")
  done
  key=$release-macos-$(printf '%s\n' "${slices[@]##*/}" | sha256sum | cut -c1-16)
else
  key=$release-$platform-$(printf '%s\n' "$debian_version" "${configure_args[@]}" ${toolchain_hash:+"$toolchain_hash"} |
                           sha256sum | cut -c1-16)
fi
prefix=$cache/$key
# A prefix appears by a rename once its build is complete: its presence is the whole check.
if [ -d "$prefix" ]; then
  echo "$prefix"
  exit 0
fi

install_missing() { # PACKAGE...
  local missing=() p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "installing: ${missing[*]}" >&2
  local sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
}

# The archive that the machine's own apt sources name for its own release, as apt itself reads
# them (one-line or deb822 files alike); nothing is downloaded.
archive_address() {
  local codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  apt-get update --print-uris 2>/dev/null |
    sed -n "s|^'\([^']*\)/dists/$codename/InRelease'.*|\1|p" | head -n1
}

# Downloads the release's source package through an apt configuration of its own, which names
# only the release's source index: the machine's package lists stay as they are.
fetch_source() { # DEST_DIR APT_DIR
  local dest=$1 apt_dir=$2 archive
  archive=$(archive_address)
  [ -n "$archive" ] || { echo "scripts/ffmpeg.sh: no Debian archive in the machine's apt sources" >&2; exit 1; }
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/download"
  echo "deb-src $archive $suite main" >"$apt_dir/sources.list"
  local apt=(apt-get -q -o Dir::Etc::sourcelist="$apt_dir/sources.list" -o Dir::Etc::sourceparts=-
             -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
             -o APT::Sandbox::User=root)
  "${apt[@]}" update >&2
  (cd "$apt_dir/download" && "${apt[@]}" source --download-only "ffmpeg=$debian_version" >&2)
  mv "$apt_dir/download" "$dest"
}

# The orig tarball of the release, downloaded once for every platform.
source_tarball() { # WORK_DIR
  local sources=$cache/sources/$upstream_version
  mkdir -p "$cache/sources"
  exec 8>"$cache/sources/.lock-$upstream_version"
  flock 8
  [ -d "$sources" ] || fetch_source "$sources" "$1/apt"
  exec 8>&-
  echo "$sources/ffmpeg_$upstream_version.orig.tar.xz"
}

build_into() { # WORK_DIR
  local work=$1 tarball jobs=2
  tarball=$(source_tarball "$work")
  mkdir -p "$work/src"
  tar -xJf "$tarball" -C "$work/src" --strip-components=1
  cd "$work/src"
  echo "configure: ${configure_args[*]}" >&2
  nice -n 19 ./configure --prefix="$prefix" "${configure_args[@]}" "${cross_tools[@]}" >"$work/configure.log" 2>&1 ||
    { tail -30 "$work/configure.log" >&2; tail -30 ffbuild/config.log >&2; exit 1; }
  nice -n 19 make -j"$jobs" >"$work/make.log" 2>&1 || { tail -40 "$work/make.log" >&2; exit 1; }
  # Installed under a staging root, with the final prefix written into the pkg-config files.
  make install DESTDIR="$work/stage" >"$work/install.log" 2>&1 || { tail -40 "$work/install.log" >&2; exit 1; }
  # The tools by their place in the repository, not in this clone.
  local tool_words=${cross_tools[*]//"$top/"/}
  printf '%s\n' "ffmpeg $debian_version ($suite), $platform" "./configure --prefix=$prefix ${configure_args[*]}${tool_words:+ $tool_words}" \
    >"$work/stage$prefix/BUILD-INFO.txt"
}

# Each library of the two macOS builds with both slices, and its links beside it. The headers
# are the same for both architectures (avconfig.h: little-endian, fast unaligned access).
join_into() { # WORK_DIR
  local stage=$1/stage$prefix lib name
  mkdir -p "$stage/lib"
  cp -R "${slices[0]}/include" "$stage/"
  for lib in "${slices[0]}"/lib/*.dylib; do
    name=$(basename "$lib")
    if [ -L "$lib" ]; then
      cp -P "$lib" "$stage/lib/"
    else
      llvm-lipo-14 -create "$lib" "${slices[1]}/lib/$name" -output "$stage/lib/$name"
    fi
  done
  cat "${slices[0]}/BUILD-INFO.txt" "${slices[1]}/BUILD-INFO.txt" >"$stage/BUILD-INFO.txt"
}

tools=(make pkg-config nasm xz-utils gcc)
[ "$platform" = windows ] && tools+=(gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
install_missing "${tools[@]}"
# zig, clang-14, lld-14 and llvm-14, which the macOS builds need, come with the project's set-up.
if [[ $platform = macos* ]]; then
  "$top/scripts/setup.sh" >&2
fi

# One build of a configuration at a time; a run that waited finds the prefix made.
exec 9>"$cache/.lock-$key"
flock 9
if [ ! -d "$prefix" ]; then
  work=$(mktemp -d "$cache/.build-$key.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  started=$(date +%s)
  if [ "$platform" = macos ]; then
    join_into "$work"
  else
    (build_into "$work")
  fi
  mv "$work/stage$prefix" "$prefix"
  echo "built $key in $(( $(date +%s) - started )) s" >&2
fi
echo "$prefix"
