#!/bin/bash
# Peak memory (maximum resident set size, from /usr/bin/time) of processing a
# file whose one foreign subchunk is large. Run by hand, never by ctest:
#
#   bench/memory_bench.sh [BUILD_DIR [MIB [XMDOPT...]]]
#
# BUILD_DIR (default build) holds bench/memory_bench and tool/xmdopt; MIB
# (default 400) is the foreign subchunk's size. It measures memory_bench run
# in its two modes (the chunk stream over a plain stream, which buffers whole
# chunks, and over the patchable file stream), then each XMDOPT given (say,
# the program of an older commit) and the build's own xmdopt on the same
# file. Everything lives in one temporary directory, removed at the end;
# disk use peaks at about twice MIB.
set -euo pipefail

build=${1:-build}
mib=${2:-400}
shift $(($# < 2 ? $# : 2))

dir=$(mktemp -d "${TMPDIR:-/tmp}/xmd-memory-XXXXXX")
trap 'rm -rf "$dir"' EXIT
file=$dir/large.xmd

peak() {  # peak RSS in MiB of the command given, its output dropped
  /usr/bin/time -f %M -o "$dir/rss" "$@" >/dev/null 2>&1 || {
    echo "failed: $*" >&2
    exit 1
  }
  echo $(($(cat "$dir/rss") / 1024))
}

"$build/bench/memory_bench" make "$file" "$mib"
echo "file: $(stat -c %s "$file") bytes, one foreign subchunk of $mib MiB"
sums=()
for mode in buffered patched; do
  echo "memory_bench run $mode: peak RSS $(peak "$build/bench/memory_bench" run "$file" "$mode") MiB"
  sums+=("$(sha256sum <"$file.result")")
  rm -f "$file.result"
done
[ "${sums[0]}" = "${sums[1]}" ] && echo "both modes wrote the same result" ||
  { echo "the two modes wrote different results" >&2; exit 1; }
# The tool rewrites the file in place; a later run finds nothing to change
# but reads and writes it all the same.
for tool in "$@" "$build/tool/xmdopt"; do
  echo "$tool: peak RSS $(peak "$tool" "$file") MiB"
done
