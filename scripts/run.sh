#!/usr/bin/env bash
# Installs what is missing, builds the reader and its books, starts the local stand-in of the online
# services (unless it already runs) and starts the reader on this display. Without a display it says
# so, starts the reader offscreen, saves a picture of the main window once the first page has painted
# and prints where it is.
#   bash scripts/run.sh [BOOK.tvk]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The same configuration as the test command, so the two commands share one build in either order.
cmake -S . -B build -G Ninja -DQS_WERROR=ON -DQS_BUILD_TESTS=ON -DQS_BUILD_BENCH=ON
cmake --build build -j"$(nproc)" --target quillstead qs-standin
if bash scripts/standin.sh start; then
  # How to reach the sample library the stand-in serves (the reader's default service host is it).
  echo "The local stand-in of the online services runs: sign in with the demo account demo@quillstead.test"
  echo "(password: demo) under Settings > Customer ID (Ctrl+,), then choose File > Cloud Library... to"
  echo "download more books (commentaries, dictionaries, devotionals)."
else
  echo "the local stand-in services did not start; the reader runs without them"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  shot="$PWD/build/screenshots/quillstead.png"
  mkdir -p "$(dirname "$shot")"
  echo "No display: running the reader offscreen to take a picture of its main window."
  QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox --disable-gpu}" \
    build/app/quillstead --screenshot "$shot" "$@"
  echo "Screenshot of the main window: $shot"
  exit 0
fi
if [ "$(id -u)" -eq 0 ]; then
  # The web engine's sandbox does not run as root.
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}"
fi
exec build/app/quillstead "$@"
