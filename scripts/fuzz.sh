#!/usr/bin/env bash
# Builds every libFuzzer target with clang (build-fuzz) and runs each one for a few seconds over its
# seed corpus in fuzz/corpus/<target>/. Fails on any crash, sanitizer report, leak or timeout.
#   scripts/fuzz.sh [seconds per target, default 5]
# QS_FUZZ_SEED picks the fuzzer's random seed (default 1, so that a run of the test command explores
# the same inputs each time and fails only on a change of the code; 0 lets libFuzzer choose).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
seed=${QS_FUZZ_SEED:-1}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then echo "usage: $0 [seconds per target, at least 1]" >&2; exit 2; fi
build=build-fuzz
jobs=${QS_FUZZ_JOBS:-$(nproc)}

mkdir -p "$build"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DQS_BUILD_FUZZ=ON -DQS_BUILD_TESTS=OFF \
  -DQS_BUILD_BENCH=OFF -DQS_BUILD_LIBRARY=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
cmake --build "$build" --target qs_fuzzers -j"$jobs"

artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"
status=0
for fuzzer in "$build"/fuzz/bin/*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  # New inputs go to a scratch copy, so the committed seeds stay as they are.
  work=$(mktemp -d)
  if [ -d "fuzz/corpus/$name" ]; then cp -R "fuzz/corpus/$name/." "$work/"; fi
  # Inputs that once crashed a reader run again every time.
  if [ -d "fuzz/regressions/$name" ]; then cp -R "fuzz/regressions/$name/." "$work/"; fi
  log="$artifacts/$name.log"
  dict=()
  if [ -f "fuzz/$name.dict" ]; then dict=(-dict="fuzz/$name.dict"); fi
  if UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$fuzzer" -max_total_time="$seconds" -seed="$seed" -timeout=10 \
       -rss_limit_mb=2048 -artifact_prefix="$artifacts/$name-" "${dict[@]}" "$work" > "$log" 2>&1; then
    echo "fuzz $name: ok ($(grep -Eo '#[0-9]+' "$log" | tail -1 | tr -d '#') runs in ${seconds}s)"
  else
    echo "fuzz $name: FAILED (log: $log)"
    tail -n 40 "$log"
    status=1
  fi
  rm -rf "$work"
done
exit $status
