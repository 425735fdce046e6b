#!/usr/bin/env bash
# Applies the house style (.clang-format) to every tracked C++ file, or checks it with --check.
# Generated tables are left as their generators write them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v '/generated/')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
  echo "format check: ${#files[@]} files follow .clang-format"
else
  clang-format -i "${files[@]}"
fi
