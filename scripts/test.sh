#!/usr/bin/env bash
# Installs what is missing, builds warning-free and runs every test and the layer check, and the tests
# of the running reader and of live web views a second time on two loaded cores; then runs every fuzz
# target briefly and the test suite under the sanitizers. A test that fails once fails the run.
#
#   QS_FUZZ_SECONDS=N    seconds per fuzz target (default 3)
#   QS_SKIP_SANITIZERS=1 leaves out the ASan/UBSan and TSan runs (they are left out by themselves on
#                        machines with fewer than 4 cores, where they would take too long)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/install-deps.sh
python3 scripts/check-layers.py
python3 scripts/check-plain-text.py
python3 scripts/check-html-text.py
python3 scripts/check-doc-names.py
bash scripts/format.sh --check

cmake -S . -B build -G Ninja -DQS_WERROR=ON -DQS_BUILD_TESTS=ON -DQS_BUILD_BENCH=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs"
# The tests of the running reader and of live web views once more on a loaded machine: six at a time
# on two cores, so that the browser engine, the window system and the reader's timers answer late
# and out of their usual order. Waits that assume an order show here (a few minutes).
two_cores=$(python3 -c 'import os; print(",".join(map(str, sorted(os.sched_getaffinity(0))[:2])))')
taskset -c "$two_cores" ctest --test-dir build --output-on-failure --no-tests=error -j6 -L 'webview|app|panes|studypane'

bash scripts/fuzz.sh "${QS_FUZZ_SECONDS:-3}"

if [ "${QS_SKIP_SANITIZERS:-0}" = 1 ]; then
  echo "sanitizer runs: skipped (QS_SKIP_SANITIZERS=1)"
elif [ "$jobs" -lt 4 ]; then
  echo "sanitizer runs: skipped on a machine with $jobs cores (run scripts/sanitize.sh by hand)"
else
  bash scripts/sanitize.sh
fi
