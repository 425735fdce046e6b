#!/usr/bin/env bash
# Times the same questions asked of SWORD's diatheke and of our engine, in one run on one machine,
# and prints one line per question:
#   - diatheke as a whole process (module engKJV2006eb; "-s multiword" for a word, "-s phrase" for a
#     phrase), the median of $QS_PEER_RUNS runs;
#   - `tvktool count` / `tvktool phrase` on the sample KJV as a whole process, the median of
#     $QS_TOOL_RUNS runs;
#   - the same tvktool query code in-process (bench_engine_PeerQuestions_bench: the book opened once,
#     the query repeated), Google Benchmark's mean time per question.
# Each side's answer (verses found) is printed beside its time: diatheke's multiword search matches
# inside words ("love" also finds "beloved"), ours matches whole words, so word counts differ.
#
# A second table compares indexed searches as whole processes: diatheke's lucene search over the
# index mkfastmod builds (once, into a private copy of the module under $QS_BUILD_DIR/peer-sword, so
# the system's module folder is left alone) against `tvktool search` (one search run of our query
# language through the library's book handle), each the median of $QS_INDEXED_RUNS runs (default
# 20). QS_INDEXED_QUESTIONS overrides its questions ("ours|lucene;..."): the same question in our
# query language and in lucene's.
#
# A third table is the go-to as the screen shows it, in Quillstead, Xiphos and BibleTime under Xvfb,
# and each reader's CPU time while idle (bench/compare_screens.sh, which says how); QS_PEER_SCREENS=0
# leaves it out.
#
# Environment: QS_BUILD_DIR (default: build-bench; configured RelWithDebInfo when new, and its
# `library`, `tvktool` and `benchmarks` targets built first); QS_PEER_RUNS (default 3),
# QS_TOOL_RUNS (default 20); QS_PEER_QUESTIONS overrides the questions
# ("word:love;phrase:the Lord said"). Run it on an otherwise idle machine.
set -euo pipefail

. "$(dirname "$0")/build_folder.sh"
cmake --build "$BUILD" --target library tvktool bench_engine_PeerQuestions_bench bench_search_execution_SearchExecution_bench \
  -j4 >/dev/null
TVKTOOL="$BUILD/tools/tvktool/tvktool"
BOOK="$BUILD/library/KJV.tvk"
INPROCESS="$BUILD/bench/engine/bench_engine_PeerQuestions_bench"
MODULE=engKJV2006eb
PEER_RUNS="${QS_PEER_RUNS:-3}"
TOOL_RUNS="${QS_TOOL_RUNS:-20}"
QUESTIONS="${QS_PEER_QUESTIONS:-word:love;word:Jerusalem;word:righteousness;phrase:the Lord said;phrase:thus saith the LORD}"

die() { echo "compare_peers: $*" >&2; exit 1; }
[ -x "$TVKTOOL" ] || die "$TVKTOOL is missing; build the tvktool target in $BUILD"
[ -f "$BOOK" ] || die "$BOOK is missing; build the library target in $BUILD"
[ -x "$INPROCESS" ] || die "$INPROCESS is missing; build the benchmarks target in $BUILD"
command -v diatheke >/dev/null || die "diatheke is missing; run scripts/install-deps.sh"
modules="$(diatheke -b system -k modulelist 2>/dev/null || true)"
grep -q "^$MODULE " <<<"$modules" ||
  die "the SWORD module $MODULE is not installed; run scripts/install-deps.sh"

now_ns() { date +%s%N; }

# median_ms N COMMAND...: runs the command N times (output discarded) and prints the median wall time
# in milliseconds.
median_ms() {
  local runs=$1; shift
  local times=() i start end
  for ((i = 0; i < runs; i++)); do
    start=$(now_ns)
    "$@" >/dev/null 2>&1 || true
    end=$(now_ns)
    times+=($((end - start)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END {
    m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.3f", m / 1e6 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.0fx", a / b; else printf "n/a" }'; }

# The in-process times, one benchmark per question, from one run of the benchmark program.
IFS=';' read -r -a LIST <<<"$QUESTIONS"
CSV="$(QS_BENCH_QUESTIONS="$QUESTIONS" QS_LIBRARY_DIR="$BUILD/library" "$INPROCESS" \
  --benchmark_format=csv --benchmark_min_time=0.5 2>/dev/null | grep '^"BM_Question/' || true)"
# in_process_ms QUESTION: the question's mean real time in milliseconds (empty when it did not run).
in_process_ms() {
  printf '%s\n' "$CSV" | awk -F, -v name="\"BM_Question/$1\"" '$1 == name && $4 != "" {
    unit = $5; t = $3; f = (unit == "ns") ? 1e-6 : (unit == "us") ? 1e-3 : (unit == "ms") ? 1 : 1e3
    printf "%.4f", t * f }'
}

echo "Peer comparison on $(uname -n), $(nproc) cores, $(date -u +%Y-%m-%dT%H:%MZ); diatheke: median of $PEER_RUNS runs," \
  "tvktool: median of $TOOL_RUNS runs, in-process: benchmark mean"
printf '%-30s %14s %9s %14s %9s %9s %14s %9s\n' "question" "diatheke ms" "verses" "tvktool ms" "verses" "ratio" \
  "in-process ms" "ratio"
for q in "${LIST[@]}"; do
  kind="${q%%:*}"
  text="${q#*:}"
  case "$kind" in
    word) search=multiword; sub=count ;;
    phrase) search=phrase; sub=phrase ;;
    *) die "unknown question kind '$kind' in '$q' (word: or phrase:)" ;;
  esac
  peer_verses="$(diatheke -b "$MODULE" -s "$search" -k "$text" 2>/dev/null |
    sed -n 's/.*-- \([0-9][0-9]*\) matches total.*/\1/p' | tail -n 1)"
  our_verses="$("$TVKTOOL" "$sub" "$BOOK" "$text" 2>/dev/null || echo error)"
  peer_ms="$(median_ms "$PEER_RUNS" diatheke -b "$MODULE" -s "$search" -k "$text")"
  tool_ms="$(median_ms "$TOOL_RUNS" "$TVKTOOL" "$sub" "$BOOK" "$text")"
  inproc_ms="$(in_process_ms "$q")"
  printf '%-30s %14s %9s %14s %9s %9s %14s %9s\n' "$kind \"$text\"" "$peer_ms" "${peer_verses:-?}" "$tool_ms" \
    "$our_verses" "$(ratio "$peer_ms" "$tool_ms")" "${inproc_ms:-n/a}" \
    "$( [ -n "$inproc_ms" ] && ratio "$peer_ms" "$inproc_ms" || echo n/a)"
done

# ---- Indexed searches: diatheke's lucene index against tvktool search --------------------------
command -v mkfastmod >/dev/null || die "mkfastmod is missing; run scripts/install-deps.sh (libsword-utils)"
INDEXED_RUNS="${QS_INDEXED_RUNS:-20}"
PEER_SWORD="$BUILD/peer-sword"
conf="$(grep -l "^\[$MODULE\]" /usr/share/sword/mods.d/*.conf | head -n 1)"
datapath="$(sed -n 's/^DataPath=\.\///p' "$conf" | head -n 1)"
if [ ! -d "$PEER_SWORD/$datapath/lucene" ]; then
  rm -rf "$PEER_SWORD"
  mkdir -p "$PEER_SWORD/mods.d" "$PEER_SWORD/$datapath"
  cp "$conf" "$PEER_SWORD/mods.d/"
  cp -r "/usr/share/sword/$datapath/." "$PEER_SWORD/$datapath/"
  SWORD_PATH="$PEER_SWORD" mkfastmod "$MODULE" >/dev/null 2>&1 || die "mkfastmod could not index $MODULE"
fi
INDEXED="${QS_INDEXED_QUESTIONS:-love|love;Jerusalem|Jerusalem;love faith|love AND faith;love -hate|love -hate;\"the Lord is my shepherd\"|\"the Lord is my shepherd\";\"the Lord said\"|\"the Lord said\";lov*|lov*}"
echo
echo "Indexed search as whole processes: diatheke -s lucene (index by mkfastmod) against tvktool search;" \
  "medians of $INDEXED_RUNS runs"
printf '%-34s %14s %9s %14s %9s %9s\n' "question" "lucene ms" "verses" "tvktool ms" "sections" "ratio"
IFS=';' read -r -a ILIST <<<"$INDEXED"
for pair in "${ILIST[@]}"; do
  ours="${pair%%|*}"
  theirs="${pair#*|}"
  peer_verses="$(SWORD_PATH="$PEER_SWORD" diatheke -b "$MODULE" -s lucene -k "$theirs" 2>/dev/null |
    sed -n 's/.*-- \([0-9][0-9]*\) matches total.*/\1/p' | tail -n 1)"
  # The whole answer is read before its first line (the count) is taken: cutting the pipe early
  # would stop tvktool with SIGPIPE and read as a failure.
  if answer="$("$TVKTOOL" search "$BOOK" "$ours" 2>/dev/null)"; then our_sections="${answer%%$'\n'*}"; else our_sections=error; fi
  peer_ms="$(median_ms "$INDEXED_RUNS" env SWORD_PATH="$PEER_SWORD" diatheke -b "$MODULE" -s lucene -k "$theirs")"
  tool_ms="$(median_ms "$INDEXED_RUNS" "$TVKTOOL" search "$BOOK" "$ours")"
  printf '%-34s %14s %9s %14s %9s %9s\n' "$ours" "$peer_ms" "${peer_verses:-?}" "$tool_ms" "$our_sections" \
    "$(ratio "$peer_ms" "$tool_ms")"
done

# ---- The go-to as the screen shows it, in the three readers ------------------------------------
if [ "${QS_PEER_SCREENS:-1}" != 0 ]; then
  echo
  QS_BUILD_DIR="$BUILD" bash "$ROOT/bench/compare_screens.sh"
fi
