#!/usr/bin/env bash
# Checks that every #include "..." between the top-level folders goes down
# the layers, lowest first:
#   0 platform/
#   1 lang/
#   2 util's containers (util/Vector.h, util/Allocator.h)
#   3 io/
#   4 io/fs/
#   5 util's traversals (the rest of util/)
#   6 the scene graph: math/, pix/, mem/, anim/, sg/, sgu/
#   7 tool/
# A file may include its own layer and the layers below it. testing/,
# bench/, fuzz/ and samples/ may include anything; a test (*_test.cpp) may
# include them too, besides what its folder may. The one upward edge the
# design requires is allowed by name: lang::Encoding raises
# io::UnsupportedEncodingException, so the io exception classes are built into
# the lang library (lang/CMakeLists.txt) and lang includes their headers.
#
#   bash scripts/check_layers.sh [root]    (default: this repository)
#
# Prints every include that breaks the order as "file:line: ..." and exits 1;
# exits 0, printing nothing, when there is none. ctest runs it.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

readonly top=99  # testing/, bench/, fuzz/, samples/: above every layer
readonly scanned=(platform lang util io math pix mem anim sg sgu tool testing bench fuzz samples)

# The layers' names, by number, for the messages.
readonly names=(platform lang "util containers" io io/fs "util traversals" "scene graph" tool)

# Headers lang may include although they lie in io/ (see above).
readonly lang_may_include=(io/IOException.h io/EOFException.h io/FileNotFoundException.h
                           io/UnsupportedEncodingException.h)

# Test helpers not yet under testing/: they may include what a test may.
readonly test_helpers=()

# Sets `layer` to the layer number of a path relative to the root, or to ""
# when it lies in no layer. (Functions set variables rather than print, so
# that the check runs without a subshell per include.)
layer_of() {
  case "$1" in
    platform/*) layer=0 ;;
    lang/*) layer=1 ;;
    util/Vector.h | util/Vector_test.cpp | util/Allocator.h | util/Allocator_test.cpp) layer=2 ;;
    io/fs/*) layer=4 ;;
    io/*) layer=3 ;;
    util/*) layer=5 ;;
    math/* | pix/* | mem/* | anim/* | sg/* | sgu/*) layer=6 ;;
    tool/*) layer=7 ;;
    testing/* | bench/* | fuzz/* | samples/*) layer=$top ;;
    *) layer="" ;;
  esac
}

# Sets `name` to the name of layer $1.
name_of() {
  if [ "$1" = "$top" ]; then name="testing, bench, fuzz or samples"; else name=${names[$1]}; fi
}

is_test_code() {
  case "$1" in *_test.cpp) return 0 ;; esac
  local h
  for h in "${test_helpers[@]}"; do [ "$1" = "$h" ] && return 0; done
  return 1
}

# 0 when `file` may include `target`.
allowed() {
  local file=$1 target=$2 from to t
  layer_of "$file"
  from=$layer
  layer_of "$target"
  to=$layer
  [ -n "$to" ] || return 1
  [ "$from" = "$top" ] && return 0
  [ "$to" -le "$from" ] && return 0
  if [ "$to" = "$top" ] && is_test_code "$file"; then return 0; fi
  if [ "$from" = 1 ]; then
    for t in "${lang_may_include[@]}"; do [ "$target" = "$t" ] && return 0; done
  fi
  return 1
}

folders=()
for d in "${scanned[@]}"; do [ -d "$d" ] && folders+=("$d"); done
[ ${#folders[@]} -gt 0 ] || exit 0

failures=0
readonly include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)"'
while IFS=: read -r file line text; do
  [[ $text =~ $include_re ]] || continue
  target=${BASH_REMATCH[1]}
  if ! allowed "$file" "$target"; then
    layer_of "$target"
    if [ -z "$layer" ]; then
      echo "$file:$line: includes \"$target\", which lies in no layer"
    else
      name_of "$layer"
      target_name=$name
      layer_of "$file"
      name_of "$layer"
      echo "$file:$line: includes \"$target\" ($target_name), above $name"
    fi
    failures=$((failures + 1))
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' \
           --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.inl' \
           "${folders[@]}" || true)

if [ "$failures" -gt 0 ]; then
  echo "check_layers: $failures include(s) against the layer order (see scripts/check_layers.sh)"
  exit 1
fi
