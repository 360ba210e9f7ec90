#!/usr/bin/env bash
# The code of README.md's "Using the library" section is the example the
# suite builds: every line of its ```cmake block is a line of
# examples/library_use/CMakeLists.txt, every line of its ```cpp block one of
# examples/library_use/main.cpp. (ctest runs it; see cmake/XmdInstall.cmake.)
#   ReadmeExample.sh <repository>
set -euo pipefail
repo=$1
example=$repo/examples/library_use
checked=0
failed=0
while IFS=$'\t' read -r file line; do
  checked=$((checked + 1))
  if ! grep -Fxq -- "$line" "$example/$file"; then
    echo "README.md: not in examples/library_use/$file: $line"
    failed=1
  fi
done < <(awk '/^## Using the library/ {on = 1; next} /^## / {on = 0} on' "$repo/README.md" |
         awk '/^```cmake/ {f = "CMakeLists.txt"; next} /^```cpp/ {f = "main.cpp"; next}
              /^```/ {f = ""; next} f != "" && NF {print f "\t" $0}')
if [ "$checked" -lt 20 ]; then
  echo "README.md: only $checked example lines found under \"## Using the library\""
  exit 1
fi
echo "$checked lines of the README's example found in examples/library_use/"
exit "$failed"
