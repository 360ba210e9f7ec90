#!/usr/bin/env bash
# Tests of scripts/check_layers.sh: each case writes one file holding one
# include into a fresh tree and runs the check on it, which must pass or fail
# as the case says. ctest runs it.
set -euo pipefail
check="$(cd "$(dirname "$0")" && pwd)/check_layers.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/check-layers-XXXXXX")
trap 'rm -rf "$work"' EXIT

# expected  file  include line
cases=(
  'pass|lang/A.cpp|#include "platform/CodePage.h"'
  'pass|lang/A.cpp|#include "lang/String.h"'
  'pass|util/Vector.h|#include "util/Allocator.h"'
  'pass|util/Vector.h|#include "lang/Object.h"'
  'pass|io/A.cpp|#include "util/Vector.h"'
  'pass|io/fs/A.cpp|#include "io/InputStream.h"'
  'pass|util/T.cpp|#include "io/fs/Path.h"'
  'pass|util/T.cpp|#include "util/Vector.h"'
  'pass|sg/N.h|#include "util/Vector.h"'
  'pass|sg/R.cpp|#include "sgu/EffectManager.h"'
  'pass|anim/K.h|#include "mem/allocator.h"'
  'pass|tool/D.cpp|#include "util/CollectFilesByExtensionTraversal.h"'
  'pass|lang/Encoding.cpp|#include "io/UnsupportedEncodingException.h"'
  'pass|lang/Throwable_test.cpp|#include "io/EOFException.h"'
  'pass|io/A_test.cpp|#include "testing/ChunkBuilder.h"'
  'pass|tool/W_test.cpp|#include "samples/SampleModels.h"'
  'pass|testing/X.h|#include "tool/Driver.h"'
  'pass|bench/B.cpp|#include "tool/ModelStore.h"'
  'pass|fuzz/F.cpp|#include "sg/Node.h"'
  'pass|samples/M.cpp|#include "testing/TempDir.h"'
  'pass|lang/A.cpp|#include <io/fs/Path.h>'
  'pass|lang/A.cpp|// #include "tool/Driver.h" in a comment'
  'fail|platform/A.cpp|#include "lang/String.h"'
  'fail|lang/A.cpp|#include "util/Vector.h"'
  'fail|lang/A.cpp|#include "io/ChunkInputStream.h"'
  'fail|lang/A.cpp|#include "io/fs/Path.h"'
  'fail|lang/A.cpp|  #  include "io/fs/Path.h"'
  'fail|util/Vector.h|#include "io/InputStream.h"'
  'fail|util/Allocator_test.cpp|#include "mem/allocator.h"'
  'fail|io/A.cpp|#include "io/fs/Path.h"'
  'fail|io/A.cpp|#include "util/BaseFileTraversal.h"'
  'fail|io/fs/A.cpp|#include "util/BaseFileTraversal.h"'
  'fail|util/T.cpp|#include "sg/Node.h"'
  'fail|math/M.h|#include "tool/ModelStore.h"'
  'fail|sg/N.cpp|#include "tool/Driver.h"'
  'fail|sg/N.cpp|#include "testing/NodeTrees.h"'
  'fail|tool/D.cpp|#include "bench/B.h"'
  'fail|tool/D.cpp|#include "fuzz/SgClasses.h"'
  'fail|lang/A.cpp|#include "Local.h"'
  'fail|lang/A.cpp|#include "nowhere/X.h"'
)

failed=0
for c in "${cases[@]}"; do
  IFS='|' read -r expected file include <<<"$c"
  rm -rf "$work/tree"
  mkdir -p "$work/tree/$(dirname "$file")"
  printf '%s\n' "// a file" "$include" >"$work/tree/$file"
  if bash "$check" "$work/tree" >"$work/out" 2>&1; then got=pass; else got=fail; fi
  if [ "$got" != "$expected" ]; then
    echo "expected $expected, got $got: $file with $include"
    sed 's/^/  /' "$work/out"
    failed=$((failed + 1))
  elif [ "$got" = fail ] && ! grep -q "^$file:2: " "$work/out"; then
    echo "failure does not name $file:2: $include"
    sed 's/^/  /' "$work/out"
    failed=$((failed + 1))
  fi
done

# An empty tree and a tree of only allowed includes pass; two wrong includes
# are both reported.
rm -rf "$work/tree" && mkdir -p "$work/tree/lang" "$work/tree/sg"
bash "$check" "$work/tree" || { echo "an empty tree fails"; failed=$((failed + 1)); }
printf '#include "tool/A.h"\n' >"$work/tree/lang/A.h"
printf '#include "platform/B.h"\n#include "testing/C.h"\n' >"$work/tree/sg/B.h"
if bash "$check" "$work/tree" >"$work/out"; then
  echo "two wrong includes pass"
  failed=$((failed + 1))
elif [ "$(grep -c ':[0-9]*: includes' "$work/out")" != 2 ]; then
  echo "not both wrong includes reported:"
  sed 's/^/  /' "$work/out"
  failed=$((failed + 1))
fi

echo "check_layers_test: ${#cases[@]} cases and a whole tree, $failed failed"
[ "$failed" -eq 0 ]
