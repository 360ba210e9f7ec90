#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
#   1. the normal build (build/), every unit test and the replay of the fuzz
#      corpora;
#   2. the sanitizer build (build-asan/: AddressSanitizer, UndefinedBehavior-
#      Sanitizer, LeakSanitizer; no benchmarks), the same suite again;
#   3. a short fuzz run of every fuzz target (scripts/fuzz.sh), by default 45 s
#      each (XMDOPT_FUZZ_SECONDS=0 leaves it out);
#   4. the Windows cross-build and its suite under Wine, and the 32-bit
#      Windows program (scripts/windows.sh --32-bit; XMDOPT_WINDOWS=0 leaves
#      it out).
# Exits non-zero at the first failure.
#
#   bash scripts/test.sh           the whole suite (what CI runs)
#   bash scripts/test.sh --quick   step 1 only, for the edit-test loop
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
quick=false
case "${1:-}" in
  "") ;;
  --quick) quick=true ;;
  *)
    echo "usage: bash scripts/test.sh [--quick]" >&2
    exit 2
    ;;
esac
fuzz_seconds=${XMDOPT_FUZZ_SECONDS:-45}
if $quick || [ "$fuzz_seconds" -le 0 ]; then bash scripts/deps.sh; else bash scripts/deps.sh --fuzz; fi

jobs=$(nproc 2>/dev/null || echo 2)
echo "== normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== normal build and tests: ${SECONDS}s so far"
if $quick; then
  echo "== quick run passed in ${SECONDS}s (sanitizer build and fuzzing left out)"
  exit 0
fi
echo "== sanitizer build (ASan, UBSan, LSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXMDOPT_SANITIZE=ON \
  -DXMDOPT_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== sanitizer build and tests: ${SECONDS}s so far"
if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== short fuzz run, ${fuzz_seconds}s per target"
  bash scripts/fuzz.sh "$fuzz_seconds"
  echo "== fuzzing: ${SECONDS}s so far"
fi
if [ "${XMDOPT_WINDOWS:-1}" != 0 ]; then
  echo "== Windows cross-build and its suite under Wine"
  bash scripts/windows.sh --32-bit
fi
echo "== all passed in ${SECONDS}s"
