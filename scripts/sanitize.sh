#!/usr/bin/env bash
# Builds the test suite under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan) and runs
# every test, then builds the programs holding the concurrency tests under ThreadSanitizer
# (build-tsan) and runs those tests, a few of them hundreds of times over. Fails on any failing test
# or sanitizer report.
#   scripts/sanitize.sh [asan|tsan|all]     (default all; QS_SANITIZE_JOBS sets the parallelism,
#                                            QS_SANITIZE_LIBRARY=ON adds the sample library)
#
# Concurrency tests are selected by name: a test that starts threads carries "Thread",
# "Concurren", "AtOnce" or "Parallel" in its suite or test name. The few older tests that use
# threads under other names are listed in legacy_concurrency below. The script warns about any test
# program that starts threads but holds no test matching the selection.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
case "$what" in asan|tsan|all) ;; *) echo "usage: $0 [asan|tsan|all]" >&2; exit 2 ;; esac
jobs=${QS_SANITIZE_JOBS:-$(nproc)}
status=0

convention='Thread|Concurren|AtOnce|Parallel'
legacy_concurrency=(
  WordLinks.PhraseTestsRunBesideRenderings
  LanguageSupport.RegistryReadsWhileOthersRegister
  cPlatformMutex.InitAndDestroyCanBeRepeated
  ReferenceTables.LoadersAndReadersMayRunTogether
  SourceTupleID.FreshValidityAndReservedIdentities
  EquivalentHighlights.EquivalentVersesShareTheirHighlight
  StrongsAndAttributeTest.SearchesAndWordAttributes
)
concurrency_regex="$convention$(printf '|%s' "${legacy_concurrency[@]}")"
# The same selection as it reads in a test source: TEST(Suite, Name).
source_regex="$convention$(printf '|%s' "${legacy_concurrency[@]#*.}")"
# FileWriteQueue: the file writes' own worker thread, started inside the queue.
thread_use='std::thread|std::jthread|std::async|QThread|QtConcurrent|FileWriteQueue'

export QT_QPA_PLATFORM=offscreen
# Warnings are the normal build's business: under the sanitizers GCC 12 reports uninitialised values
# inside std::function and std::regex that are not there, so they do not stop this build.
# The sample library (compiled from the SWORD exports) is not compiled again unless
# QS_SANITIZE_LIBRARY=ON: compiling it with instrumented importers alone takes longer than the rest.
# The books of the normal build are borrowed instead (borrow_library): the tests that look for the
# sample books when they run (the reader's, the book pane's, the search's) then read them under the
# sanitizers. The integration tests (tests/integration) read the books and their exports too: they
# are compiled to run over the borrowed ones (QS_LIBRARY_BORROWED) when the normal build has them.
borrowed=OFF
if [ "${QS_SANITIZE_LIBRARY:-OFF}" != ON ] && compgen -G "build/library/*.tvk" > /dev/null && [ -d build/library-src ]; then
  borrowed=ON
fi
common=(-G Ninja -DQS_WERROR=OFF -DQS_BUILD_BENCH=OFF -DQS_BUILD_FUZZ=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
        -DQS_BUILD_LIBRARY="${QS_SANITIZE_LIBRARY:-OFF}" -DQS_LIBRARY_BORROWED="$borrowed")

# Without its own sample library, a sanitizer build borrows the books the normal build compiled
# (build/library, build/books and the exports they came from), when there are any: the books are
# data, the same for every build.
borrow_library() { # build-folder
  local build=$1
  [ "${QS_SANITIZE_LIBRARY:-OFF}" = ON ] && return 0
  compgen -G "build/library/*.tvk" > /dev/null || return 0
  mkdir -p "$build/library"
  for book in build/library/*.tvk build/library/import-report.txt; do
    [ -f "$book" ] && ln -sfn "$PWD/$book" "$build/library/"
  done
  [ -d build/books ] && ln -sfn "$PWD/build/books" "$build/books"
  [ -d build/library-src ] && ln -sfn "$PWD/build/library-src" "$build/library-src"
  return 0
}

# What a failed test said, from a run's log: its failed checks and any sanitizer report, so that a run
# read only from its printout still tells why (the log itself stays in the build folder).
failure_details() { # ctest-log
  grep -q -E '\*\*\*(Failed|Exception|Timeout)|SEGFAULT|Subprocess aborted' "$1" || return 0
  echo "-- what the failed tests said ($1):"
  grep -E -A 8 '(: Failure$|^\[  FAILED  \] [^0-9]|ERROR: (Address|Leak|Thread)Sanitizer|WARNING: ThreadSanitizer|runtime error:)' "$1" |
    cut -c 1-300 | head -n 200 || true
}

configure() { # build-folder extra-options...
  local build=$1; shift
  mkdir -p "$build"
  cmake -S . -B "$build" "${common[@]}" "$@" > "$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; return 1; }
}

if [ "$what" != tsan ]; then
  echo "== ASan+UBSan: build-asan"
  configure build-asan -DQS_SANITIZE=ON
  cmake --build build-asan -j"$jobs"
  borrow_library build-asan
  # The browser engine's own code frees some of its objects through a base of another size (reported
  # as new-delete-type-mismatch inside libQt6WebEngineCore when a page closes); that check is off.
  export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:new_delete_type_mismatch=0
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$PWD/scripts/ubsan.supp"
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  # The damaged-book run (tests/integration/BookDamage_test.cpp) takes its 600 books in the normal
  # build; here a sixth of them keeps it to a few minutes.
  export QS_DAMAGE_BOOKS="${QS_DAMAGE_BOOKS:-100}"
  # A test without a limit of its own may take 900 s: the longest (the walk through every menu of the
  # window) takes 300-400 s under this build on a loaded machine of eight cores.
  if ! ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$jobs" --timeout 900 \
       > build-asan/ctest.log 2>&1; then
    status=1
  fi
  tail -n 30 build-asan/ctest.log
  failure_details build-asan/ctest.log
  unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS QS_DAMAGE_BOOKS
fi

if [ "$what" != asan ]; then
  echo "== TSan: build-tsan"
  configure build-tsan -DQS_TSAN=ON
  # Only the test programs that start threads are built: tests/<dir>/<Class>_test.cpp is the
  # program <dir with _>_<Class>_test.
  mapfile -t sources < <(grep -rlE "$thread_use" tests --include='*_test.cpp' | sort)
  targets=()
  for src in "${sources[@]}"; do
    rel=${src#tests/}
    targets+=("$(dirname "$rel" | tr / _)_$(basename "$src" .cpp)")
    if ! grep -qE "^TEST(_F|_P)?\([^)]*($source_regex)" "$src"; then
      echo "warning: $src starts threads but none of its tests is selected as a concurrency test"
    fi
  done
  cmake --build build-tsan -j"$jobs" --target "${targets[@]}"
  borrow_library build-tsan
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"
  if ! ctest --test-dir build-tsan --output-on-failure --no-tests=error -j"$jobs" --timeout 600 \
       -R "$concurrency_regex" > build-tsan/ctest.log 2>&1; then
    status=1
  fi
  tail -n 30 build-tsan/ctest.log
  failure_details build-tsan/ctest.log
  # Races that show once in many runs get many runs: each entry is program:test and a repeat count.
  # Their databases live in memory where it can (a commit to disk takes longer than the race).
  scratch=/tmp
  [ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
  for entry in userdata_cHighlightColorNameStg_test:ColorNameTest.ThreadsNameColoursAtOnce:500; do
    IFS=: read -r program test repeats <<< "$entry"
    binary=$(find build-tsan/tests -type f -name "$program" | head -n 1)
    if [ -z "$binary" ] ||
       ! TMPDIR="$scratch" "$binary" --gtest_filter="$test" --gtest_repeat="$repeats" --gtest_brief=1 \
         > "build-tsan/repeat-$test.log" 2>&1; then
      echo "repeated test $test: FAILED (log: build-tsan/repeat-$test.log)"
      tail -n 30 "build-tsan/repeat-$test.log"
      status=1
    else
      echo "repeated test $test: passed $repeats runs"
    fi
  done
fi

exit $status
