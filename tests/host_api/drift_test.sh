#!/usr/bin/env bash
# The headless host's headers must declare what the object uses as the Max SDK does, and
# api_names.h must name every host function that the object calls.
#   drift_test.sh HEADLESS_DESCRIPTION SDK_DESCRIPTION LIBMAXHOST OBJECT[:OBJECT...]
set -euo pipefail
headless=$1
sdk=$2
maxhost=$3
IFS=: read -r -a objects <<<"$4"

if ! differences=$(diff <("$headless") <("$sdk")); then
  echo "FAIL: the headless host's headers (<) differ from the SDK's (>):"
  echo "$differences"
  exit 1
fi

# The C library's calls that the host defines ahead of it (its stalled reads) are no host API.
libc=$(ldd "$maxhost" | awk '$1 == "libc.so.6" {print $3}')
libc_functions=$(nm -D --defined-only --format=posix "$libc" | awk '{sub("@.*", "", $1); print $1}' | sort -u)
host_functions=$(nm -D --defined-only --format=posix "$maxhost" | awk '$2 == "T" {print $1}' | sort -u |
  comm -23 - <(echo "$libc_functions"))
called=$(nm --undefined-only --format=posix "${objects[@]}" | awk 'NF >= 2 && $2 == "U" {print $1}' | sort -u)
listed=$("$headless" | awk '$1 == "function" {sub(":", "", $2); print $2}' | sort -u)
unlisted=$(comm -12 <(echo "$host_functions") <(echo "$called") | comm -23 - <(echo "$listed"))
if [ -n "$unlisted" ]; then
  echo "FAIL: the object calls host functions that api_names.h does not list:" $unlisted
  exit 1
fi
echo "ok: $(echo "$listed" | wc -l) functions and the types, layouts, constants and macros agree"
