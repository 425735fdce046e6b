#!/usr/bin/env bash
# Installs what is missing, builds the engine and compiles the sample library, then shows a passage
# through the engine (the reader's windows are not built yet).
#   scripts/run.sh ["REFERENCE"]   (default: John 3:16)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DQS_BUILD_TESTS=OFF -DQS_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)"
exec build/tools/tvktool/tvktool verse build/library/KJV.tvk "${*:-John 3:16}"
