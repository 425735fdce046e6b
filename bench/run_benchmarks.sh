#!/usr/bin/env bash
# Builds the benchmarks, the sample library and tvktool in an optimised build, then runs every
# benchmark program and prints its table.
#   bench/run_benchmarks.sh                 every program
#   bench/run_benchmarks.sh engine          the programs whose name holds "engine"
#   bench/run_benchmarks.sh engine -- --benchmark_filter=WordLookup
#                                           arguments after "--" go to each program
# Environment: QS_BUILD_DIR (default: build-bench; configured RelWithDebInfo when new). The machine
# should be otherwise idle: other builds running beside it inflate every figure.
set -euo pipefail

. "$(dirname "$0")/build_folder.sh"

pattern=""
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
  pattern="$1"
  shift
fi
[ $# -gt 0 ] && [ "$1" = "--" ] && shift

cmake --build "$BUILD" --target library tvktool benchmarks -j4 >/dev/null

export QS_LIBRARY_DIR="${QS_LIBRARY_DIR:-$BUILD/library}"
status=0
while IFS= read -r program; do
  case "$(basename "$program")" in *"$pattern"*) ;; *) continue ;; esac
  echo "== $(basename "$program")"
  "$program" "$@" || status=1
  echo
done < <(find "$BUILD/bench" -type f -name 'bench_*' -perm -u+x | sort)
exit "$status"
