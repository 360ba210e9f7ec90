#!/usr/bin/env bash
# Installs what is missing, builds the tool, and runs it on a copy of the
# bundled sample models (the originals under samples/ are never touched).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target xmdopt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R samples/. "$work/"
find "$work" -type f ! -name '*.xmd' -delete
echo "== the sample models, before:"
(cd "$work" && find . -name '*.xmd' -printf '%P  %s bytes\n' | sort)
echo "== xmdopt in $work"
status=0
(cd "$work" && "$here/build/tool/xmdopt") || status=$?
echo "== exit status $status; the sample models, after:"
(cd "$work" && find . -name '*.xmd' -printf '%P  %s bytes\n' | sort)
exit "$status"
