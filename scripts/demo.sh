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
echo "== xmdopt on a copy of samples/ in $work"
(cd "$work" && "$here/build/tool/xmdopt")
echo "== exit status $?"
