#!/usr/bin/env bash
# Installs what is missing, builds warning-free and runs every test, then the layer check.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/install-deps.sh
python3 scripts/check-layers.py

cmake -S . -B build -G Ninja -DQS_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs"
