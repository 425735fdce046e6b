# Sourced by the bench scripts: sets ROOT (the source root) and BUILD (QS_BUILD_DIR, default
# build-bench, relative to the source root or absolute) and configures BUILD for benchmarks
# (RelWithDebInfo, with the sample library) when it is new.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${QS_BUILD_DIR:-$ROOT/build-bench}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQS_BUILD_BENCH=ON \
    -DQS_BUILD_TESTS=OFF -DQS_BUILD_LIBRARY=ON >/dev/null
fi
