#!/usr/bin/env bash
# Checks the Windows external as the host's loader sees it: a PE32+ x86-64 DLL that exports
# ext_main and nothing else, and imports the host's two libraries, the four FFmpeg DLLs of
# the release whose headers it was compiled against, and the C runtime and system DLLs only.
#   windows_external_test.sh EXTERNAL FFMPEG_INCLUDE_DIR
set -euo pipefail
external=$1
ffmpeg_include=$2
objdump=x86_64-w64-mingw32-objdump
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$($objdump -p "$external")
grep -q "file format pei-x86-64" <<<"$headers" || fail "not a PE file for x86-64"
grep -qE "^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)" <<<"$headers" || fail "not PE32+"
characteristics=$(awk '/^Characteristics/ {print $2}' <<<"$headers")
(( characteristics & 0x2000 )) || fail "not a DLL (characteristics $characteristics)"

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[[:space:]]*\[/ {print $NF} on && /^$/ {on=0}' <<<"$headers")
[ "$exports" = "ext_main" ] || fail "exports are [$(echo $exports)], not [ext_main]"

# FFmpeg names its DLLs after each library's major version (the last line: a version.h
# may include other headers).
major() { # LIBRARY
  printf '#include <lib%s/version.h>\nLIB%s_VERSION_MAJOR\n' "$1" "${1^^}" |
    cpp -P -I"$ffmpeg_include" - | tail -n1 | tr -d '[:space:]'
}
required=(MaxAPI.dll MaxAudio.dll)
for lib in avformat avcodec avutil swresample; do
  required+=("$lib-$(major "$lib").dll")
done
imports=$(awk '/DLL Name:/ {print $3}' <<<"$headers")
for dll in "${required[@]}"; do
  grep -qx "$dll" <<<"$imports" || fail "does not import $dll"
done
# Besides those: Windows itself and its C runtime, never a MinGW runtime DLL.
system='^(KERNEL32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
while read -r dll; do
  if ! printf '%s\n' "${required[@]}" | grep -qx "$dll" && ! grep -qiE "$system" <<<"$dll"; then
    fail "imports $dll"
  fi
done <<<"$imports"

[ "$failures" -eq 0 ] || exit 1
echo "ok: $(basename "$external") exports ext_main only; imports $(echo $imports)"
