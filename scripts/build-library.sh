#!/usr/bin/env bash
# Compiles the sample library and the books that come with the application.
#
# The public-domain texts come from the SWORD modules that Debian ships; mod2imp (libsword-utils)
# exports each module as text into $BUILD/library-src, and an export is kept until its module
# changes, so a rebuild only recompiles. tvkimport then writes the sample library into
# $BUILD/library and the books that come with the application (help, welcome, the King James Version
# and the two Strong's dictionaries its numbers link to) into $BUILD/books; the entries it
# skipped are listed in $BUILD/library/import-report.txt.
#
# Environment: QS_BUILD_DIR (default: build), QS_TVKIMPORT (a built tvkimport; default: build it).
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QS_BUILD_DIR:-$ROOT/build}"
SRC="$BUILD/library-src"
LIB="$BUILD/library"
BOOKS="$BUILD/books"
MODULES=(engKJV2006eb engWEB2015eb spaRV1909eb Scofield TDavid StrongsHebrew StrongsGreek Nave)
MODS_D=/usr/share/sword/mods.d

TVKIMPORT="${QS_TVKIMPORT:-}"
if [ -z "$TVKIMPORT" ]; then
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DQS_BUILD_BENCH=OFF >/dev/null
  fi
  cmake --build "$BUILD" --target tvkimport -j4
  TVKIMPORT="$BUILD/tools/tvkbuild/import/tvkimport"
fi

if ! command -v mod2imp >/dev/null; then
  echo "build-library: mod2imp is missing; run scripts/install-deps.sh" >&2
  exit 1
fi

mkdir -p "$SRC" "$LIB" "$BOOKS"

# Exports, in parallel; an export is redone when it is missing or older than its module's conf file.
pids=()
for m in "${MODULES[@]}"; do
  conf="$(grep -l "^\[$m\]" "$MODS_D"/*.conf 2>/dev/null | head -n 1 || true)"
  if [ -z "$conf" ]; then
    echo "build-library: SWORD module $m is not installed; run scripts/install-deps.sh" >&2
    exit 1
  fi
  out="$SRC/$m.imp"
  if [ -s "$out" ] && [ "$out" -nt "$conf" ]; then
    continue
  fi
  (
    if mod2imp "$m" >"$out.tmp" 2>"$out.err" && [ "$(head -c 3 "$out.tmp")" = '$$$' ]; then
      mv "$out.tmp" "$out"
      rm -f "$out.err"
    else
      echo "build-library: export of $m failed: $(head -c 500 "$out.err")" >&2
      rm -f "$out.tmp"
      exit 1
    fi
  ) &
  pids+=($!)
done
failed=0
for p in "${pids[@]+"${pids[@]}"}"; do
  wait "$p" || failed=1
done
[ "$failed" -eq 0 ] || exit 1

start=$(date +%s.%N)
if ! "$TVKIMPORT" library "$SRC" "$ROOT/resources/books" "$LIB" "$BOOKS" >"$LIB/import-report.txt"; then
  echo "build-library: tvkimport failed (report: $LIB/import-report.txt)" >&2
  exit 1
fi
end=$(date +%s.%N)
grep -v '^  skipped ' "$LIB/import-report.txt" || true
elapsed="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')"
echo "build-library: compiled in $elapsed s; books in $LIB and $BOOKS; skipped entries in $LIB/import-report.txt"
