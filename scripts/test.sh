#!/usr/bin/env bash
# Installs what is missing, builds warning-free and runs every test and the layer check; then runs
# every fuzz target briefly and the test suite under the sanitizers.
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

bash scripts/fuzz.sh "${QS_FUZZ_SECONDS:-3}"

if [ "${QS_SKIP_SANITIZERS:-0}" = 1 ]; then
  echo "sanitizer runs: skipped (QS_SKIP_SANITIZERS=1)"
elif [ "$jobs" -lt 4 ]; then
  echo "sanitizer runs: skipped on a machine with $jobs cores (run scripts/sanitize.sh by hand)"
else
  bash scripts/sanitize.sh
fi
