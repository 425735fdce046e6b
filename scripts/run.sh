#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DQS_BUILD_TESTS=OFF -DQS_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)"
exec build/tools/enginedemo/enginedemo "$@"
