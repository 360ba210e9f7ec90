#!/usr/bin/env bash
# Fuzzes every target under fuzz/ for a while, one after the other.
#
#   bash scripts/fuzz.sh [seconds-per-target] [target...]   # default 60 s, every target
#   bash scripts/fuzz.sh --seeds                            # regenerate fuzz/corpus/ seeds
#
# Builds the clang + libFuzzer build (ASan, UBSan, LeakSanitizer) in
# build-fuzz, then runs each target niced over its growing work corpus
# build-fuzz/corpus/<name> (kept between runs), its seeds fuzz/corpus/<name>
# and its regression inputs fuzz/regressions/<name>, with the dictionary
# fuzz/<name>.dict. Prints per target the executions per second, total
# executions and coverage edges. An input that crashes, hangs (10 s), leaks or
# runs out of memory is saved under build-fuzz/artifacts/<name>/ and the
# script exits non-zero; once its fault is fixed, the input belongs in
# fuzz/regressions/<name>/, which ctest replays on every run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2

if [ "${1:-}" = "--seeds" ]; then
  bash scripts/deps.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$jobs" --target fuzz_seedgen
  build/fuzz/fuzz_seedgen "$here/fuzz"
  exit 0
fi

seconds=${1:-60}
shift || true
bash scripts/deps.sh --fuzz

clangxx=$(command -v clang++-14 || command -v clang++)
clangc=$(command -v clang-14 || command -v clang)
CC="$clangc" CXX="$clangxx" cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DXMDOPT_FUZZ=ON -DXMDOPT_BUILD_TESTS=OFF -DXMDOPT_BUILD_BENCH=OFF >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  defined=$(cmake --build build-fuzz --target help)
  for src in fuzz/*_fuzz.cpp; do
    name=$(basename "$src" _fuzz.cpp)
    # Only targets whose libraries exist are defined (fuzz/CMakeLists.txt).
    if grep -qx "\.\.\. ${name}_fuzz" <<< "$defined"; then
      targets+=("$name")
    else
      echo "fuzz: ${name}_fuzz not defined in this build, skipped"
    fi
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no target to run"; exit 1; }
cmake --build build-fuzz -j"$jobs" --target "${targets[@]/%/_fuzz}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
printf '%-8s %10s %12s %8s %s\n' target "exec/s" "execs" "edges" result > build-fuzz/summary.txt
for name in "${targets[@]}"; do
  work=build-fuzz/corpus/$name
  artifacts=build-fuzz/artifacts/$name
  mkdir -p "$work" "$artifacts" "fuzz/corpus/$name" "fuzz/regressions/$name"
  dict=()
  [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
  log=build-fuzz/$name.log
  echo "== fuzzing $name for ${seconds}s (log $log)"
  status=0
  nice -n 10 "build-fuzz/fuzz/${name}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" \
    "$work" "fuzz/corpus/$name" "fuzz/regressions/$name" > "$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  result=ok
  if [ "$status" -ne 0 ]; then
    result="FAILED (status $status)"
    failed+=("$name")
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|chunk_fuzz:|model_fuzz:|sg_fuzz:|artifact_prefix|Test unit written)' "$log" | head -20 || true
  fi
  printf '%-8s %10s %12s %8s %s\n' "$name" "${rate:-?}" "${execs:-?}" "${edges:-?}" "$result" | tee -a build-fuzz/summary.txt
done
echo "== fuzz summary"
cat build-fuzz/summary.txt
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: faults found in ${failed[*]}; inputs under build-fuzz/artifacts/"
  exit 1
fi
