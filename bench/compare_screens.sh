#!/usr/bin/env bash
# Times a go-to as the screen shows it, in Quillstead, Xiphos and BibleTime, in one interleaved run
# on one machine. Each reader runs on an X server of its own (Xvfb, 1600 x 1000); a round types a
# reference into the reader's go-to field, lets the screen settle, types the next one and has
# qs_screen_watch press Return: the watcher copies the Bible pane's rectangle of the screen every
# $QS_SCREEN_INTERVAL ms (5) and reports when it reached, and kept, the picture it settled on (the
# verse readable at its place; a caret or a few pixels are no change, text moved by a pixel is).
# The time runs from the key's arrival at the X server.
#
# Rows (the go-to before the timed one is not timed):
#   same chapter    John 3:1  -> John 3:36
#   other chapter   John 3:1  -> John 9:1
#   other book      John 3:1  -> Romans 8:28
#   6 panes         John 3:1  -> John 3:36, with six Bibles showing at once (KJV, WEB, RV1909 twice),
#                   timed three times: until the pane the go-to went to settled (Quillstead: the
#                   current pane; the peers show the six in one view, so the same rectangle), until
#                   the text of all six did, and until all six did with their scroll bars (the thumbs
#                   move while a page fills around the verse); each reader is started again for these rows, on a layout of six
#                   (Quillstead: six book panes that follow the pane gone to; Xiphos: its parallel
#                   view in a window of its own; BibleTime: one window of six parallel columns).
#                   QS_SCREEN_SIX=0 leaves these rows out
# and the CPU time each reader's whole process tree used while idle for $QS_IDLE_SECONDS (10) after
# the first three rows' rounds (from /proc, the reader and every process below it), and its main
# thread's in milliseconds a second.
#
# Prints, per row and reader, the median of $QS_SCREEN_ROUNDS rounds (12), the fastest and the
# slowest, with the load average before and after; then, per row and peer, the ratio of Quillstead's
# time to the peer's in the same round (median and range over the rounds, and in how many rounds
# Quillstead was ahead): the readers take turns within each round, the first of a round changing
# from round to round, so a ratio compares go-tos made seconds apart on the same load. Every round's
# times, with the load average when it ran, go to rounds.tsv beside the pictures; web-engine
# processes of other programs (QtWebEngineProcess, WebKitWebProcess) are counted before and after. QS_SCREEN_READERS picks readers ("quillstead
# xiphos bibletime"); a peer that is not installed is left out with a note (apt-get install xiphos
# bibletime; scripts/install-deps.sh installs both). QS_BUILD_DIR: a ready build whose `quillstead`,
# `library`, `qs_screen_watch` and `qs_bench_layout` are timed as they are, without building; without
# it, build-bench (configured RelWithDebInfo when new) is brought up to date first.
# QS_SCREEN_DISPLAY: the first X display number tried for the readers' servers (default 70).
# QS_SCREEN_PAUSE: seconds the readers are left alone before a round's timed go-tos (default 0: each
# reader's timed go-to follows its untimed one at once, back to back): a go-to after reading. With a
# pause, each reader makes its untimed go-to, all are left alone together for the pause, then each
# makes its timed go-to in turn (the first changing from round to round), and the pictures are read
# only after the round, so that no reader waits on another's check. QS_SCREEN_CASES picks rows by
# name, separated by commas ("same chapter,other chapter,other book", the default: all three).
# QS_SCREEN_IDLE_SECONDS: seconds of the idle CPU measure (default 10; 0 leaves it out).
# QS_SCREEN_CPU_WINDOW: seconds after a timed go-to's first key over which each reader's main-thread
# time is counted as the whole go-to's (default 13; a round waits until every reader's has passed);
# the time until the settled picture is printed too.
# QS_SCREEN_SAVE=1: every distinct picture a timed go-to showed is kept in $QS_SCREEN_PICTURES too.
#
# Every timed go-to is checked, not only timed: the picture it settled on is read back (tesseract)
# for the opening words of the verse gone to, and a round that does not show them (a wrong verse, a
# dialog over the text) counts as "wrong", not as a time. Before a row's rounds each reader is sent
# to the row's verse and left to settle, and that picture is read the same way (so the check is
# known to read each reader's screen) and kept as the row's reference; without tesseract the rounds
# are compared with the reference picture instead (stricter: a line drawn a pixel apart differs).
# The references and the wrong rounds' pictures are kept in $QS_SCREEN_PICTURES (default
# bench-screens/ under the build) to be looked at, and the watcher's line of every round (when each
# distinct picture first showed: changes_ms) is added to rounds.log there; each reader's own output
# is copied there at the end (quillstead.log, ...).
# Run it on an otherwise idle machine.
set -euo pipefail

if [ -n "${QS_BUILD_DIR:-}" ]; then
  . "$(dirname "$0")/build_folder.sh"
  echo "compare_screens: timing the build in $BUILD as it is"
else
  . "$(dirname "$0")/build_folder.sh"
  cmake --build "$BUILD" --target quillstead library qs_screen_watch qs_bench_layout -j4 >/dev/null
fi
QUILLSTEAD="$BUILD/app/quillstead"
WATCH="$BUILD/bench/screen/qs_screen_watch"
LAYOUT="$BUILD/bench/app/qs_bench_layout"
ROUNDS="${QS_SCREEN_ROUNDS:-12}"
INTERVAL="${QS_SCREEN_INTERVAL:-5}"
IDLE_SECONDS="${QS_SCREEN_IDLE_SECONDS:-${QS_IDLE_SECONDS:-10}}"
CPU_WINDOW="${QS_SCREEN_CPU_WINDOW:-13}"
READERS="${QS_SCREEN_READERS:-quillstead xiphos bibletime}"

die() { echo "compare_screens: $*" >&2; exit 1; }
[ -x "$QUILLSTEAD" ] || die "$QUILLSTEAD is missing"
[ -x "$WATCH" ] || die "$WATCH is missing (xcb and xcb-xtest: scripts/install-deps.sh)"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || die "$tool is missing; run scripts/install-deps.sh"
done

PICTURES="${QS_SCREEN_PICTURES:-$BUILD/bench-screens}"
mkdir -p "$PICTURES"
OCR=1
command -v tesseract >/dev/null || {
  OCR=0
  echo "compare_screens: tesseract is not installed; each round is compared with the row's reference picture instead of read (apt-get install tesseract-ocr)"
}

WORK="$(mktemp -d)"
declare -A XVFB_PID READER_PID DISPLAY_OF FIELD RECT REST ALL_RECT ALL_IGNORE BARS_RECT
cleanup() {
  local r
  for r in "${!READER_PID[@]}"; do kill "${READER_PID[$r]}" 2>/dev/null || true; done
  for r in "${!READER_PID[@]}"; do wait "${READER_PID[$r]}" 2>/dev/null || true; done
  for r in "${!XVFB_PID[@]}"; do kill "${XVFB_PID[$r]}" 2>/dev/null || true; done
  sleep 0.5
  # The readers' own output (QT_LOGGING_RULES="qs.panes.page.trace.debug=true" adds the page's trace).
  cp "$WORK"/*.log "$PICTURES/" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# start_display READER: an X server of the reader's own on the first free display from
# :$QS_SCREEN_DISPLAY (70).
start_display() {
  local n="${QS_SCREEN_DISPLAY:-70}"
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >"$WORK/xvfb-$1.log" 2>&1 &
  XVFB_PID[$1]=$!
  DISPLAY_OF[$1]=":$n"
  local i
  for ((i = 0; i < 100; i++)); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.05
  done
  die "Xvfb did not start on :$n"
}

# on READER COMMAND...: runs an X command on the reader's display.
on() { local r=$1; shift; DISPLAY="${DISPLAY_OF[$r]}" "$@"; }

# wait_window READER PATTERN: waits (30 s at most) for a window whose name matches.
wait_window() {
  local i
  for ((i = 0; i < 300; i++)); do
    on "$1" xdotool search --name "$2" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  die "$1: no window named like '$2'"
}

# Each reader's start: the go-to field's position (FIELD, "x y"), the Bible pane's text (RECT,
# "x,y,w,h") and where the pointer waits while the screen is watched (REST: inside the window, where
# hovering changes nothing; without a window manager a GTK window has the keyboard only while the
# pointer is over it), all in screen pixels, for the layout each reader opens with on a 1600 x 1000
# screen.
start_quillstead() {
  local home="$WORK/quillstead-home${1:-}"
  mkdir -p "$home/run"
  chmod 700 "$home/run"
  if [ "${1:-}" = 6 ]; then
    # Two columns of three Bible panes beside the study pane, made before the first start.
    local data="$home/data/com.tavrosen.Quillstead"
    mkdir -p "$data/Tavrosen Books"
    cp "$BUILD/library/WEB.tvk" "$BUILD/library/RV1909.tvk" "$data/Tavrosen Books/"
    "$LAYOUT" "$data/layout archive.plist" V33 \
      "$BUILD/library/KJV.tvk" "$BUILD/library/WEB.tvk" "$BUILD/library/RV1909.tvk" >/dev/null ||
      die "the six-pane layout could not be written"
  fi
  HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_CACHE_HOME="$home/cache" DISPLAY="${DISPLAY_OF[quillstead]}" \
    QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}" \
    "$QUILLSTEAD" >"$WORK/quillstead.log" 2>&1 &
  READER_PID[quillstead]=$!
  wait_window quillstead "Quillstead"
  sleep 4 # the first start installs the sample books
  # Without a window manager the window opens at its default size: it is made to fill the screen.
  local w
  w="$(on quillstead xdotool search --onlyvisible --name '^Quillstead$' | head -n 1)"
  [ -n "$w" ] || die "quillstead: no main window"
  on quillstead xdotool windowmove "$w" 0 0 windowsize "$w" 1600 1000
  sleep 1
  FIELD[quillstead]="key"
  REST[quillstead]="150 900"
  if [ "${1:-}" = 6 ]; then
    # The King James pane in the middle of the left column is made current by a click on its tab.
    # Watched: its text, the text of all six (the left column's scroll bars left out), and all six
    # with the scroll bars of both columns.
    on quillstead xdotool mousemove 337 420 click 1
    RECT[quillstead]="${QS_QUILLSTEAD6_RECT:-292,455,622,238}"
    ALL_RECT[quillstead]="${QS_QUILLSTEAD6_ALL_RECT:-292,152,1276,840}"
    ALL_IGNORE[quillstead]="915,152,30,840"
    BARS_RECT[quillstead]="${QS_QUILLSTEAD6_BARS_RECT:-292,152,1306,840}"
  else
    # The window fills the screen; the King James pane (top right) is made the current pane by a
    # click on its tab, and the Bible go-to field then comes up with Ctrl+L. Watched: the pane's
    # title and text, the verse's line whole from the left margin.
    on quillstead xdotool mousemove 905 120 click 1
    RECT[quillstead]="${QS_QUILLSTEAD_RECT:-858,136,707,404}"
  fi
  sleep 0.5
}

start_xiphos() {
  local home="$WORK/xiphos-home${1:-}"
  mkdir -p "$home"
  if [ "${1:-}" = 6 ]; then
    start_xiphos_six "$home"
    return
  fi
  HOME="$home" LANG=C.utf8 LC_ALL=C.utf8 DISPLAY="${DISPLAY_OF[xiphos]}" xiphos >"$WORK/xiphos.log" 2>&1 &
  READER_PID[xiphos]=$!
  wait_window xiphos " - Xiphos$"
  sleep 3
  local w
  w="$(on xiphos xdotool search --name " - Xiphos$" | head -n 1)"
  on xiphos xdotool windowmove "$w" 0 0 windowsize "$w" 1280 800
  sleep 1
  # The note that the C locale has no translations.
  on xiphos xdotool mousemove 189 116 click 1
  sleep 0.5
  FIELD[xiphos]="900 81"
  RECT[xiphos]="${QS_XIPHOS_RECT:-205,110,450,600}"
  REST[xiphos]="100 781"
}

# Xiphos with six Bibles: its parallel view in a window of its own (1500 x 900 at the top left, over
# the main window), six columns with a go-to field of their own. The settings of a first start are
# made, then changed before the timed start.
start_xiphos_six() {
  local home=$1 settings="$1/.xiphos/settings.xml" i
  if [ ! -f "$settings" ]; then
    HOME="$home" LANG=C.utf8 LC_ALL=C.utf8 DISPLAY="${DISPLAY_OF[xiphos]}" xiphos >"$WORK/xiphos-first.log" 2>&1 &
    local first=$!
    for ((i = 0; i < 300; i++)); do
      grep -q '<parallels>' "$settings" 2>/dev/null && break
      sleep 0.1
    done
    sleep 1
    kill "$first" 2>/dev/null || true
    wait "$first" 2>/dev/null || true
  fi
  grep -q '<parallels>' "$settings" || die "xiphos made no settings"
  local six="engKJV2006eb,engWEB2015eb,spaRV1909eb,engKJV2006eb,engWEB2015eb,spaRV1909eb"
  sed -i -e "s|<parallels>[^<]*</parallels>|<parallels>$six</parallels>|" \
    -e 's|<parallelopen>[^<]*<|<parallelopen>1<|' -e 's|<parallel_x>[^<]*<|<parallel_x>0<|' \
    -e 's|<parallel_y>[^<]*<|<parallel_y>0<|' -e 's|<parallel_width>[^<]*<|<parallel_width>1500<|' \
    -e 's|<parallel_height>[^<]*<|<parallel_height>900<|' "$settings"
  HOME="$home" LANG=C.utf8 LC_ALL=C.utf8 DISPLAY="${DISPLAY_OF[xiphos]}" xiphos >"$WORK/xiphos.log" 2>&1 &
  READER_PID[xiphos]=$!
  wait_window xiphos "^Xiphos - Parallel$"
  sleep 3
  FIELD[xiphos]="921 29"
  RECT[xiphos]="${QS_XIPHOS6_RECT:-20,56,1460,790}"
  ALL_RECT[xiphos]="${RECT[xiphos]}"
  REST[xiphos]="300 875"
}

start_bibletime() {
  local home="$WORK/bibletime-home${1:-}"
  mkdir -p "$home/.bibletime" "$home/run"
  chmod 700 "$home/run"
  printf '%s\n' '[General]' 'btconfig_api_version=1' '' '[GUI]' 'booknameLanguage=en_US' 'showTipAtStartup=false' \
    >"$home/.bibletime/bibletimerc"
  if [ "${1:-}" = 6 ]; then
    # One Bible window, maximized in the main window, with six Bibles side by side (the window's
    # parallel columns) and one go-to field: the session BibleTime restores at its start.
    local six="engKJV2006eb, engWEB2015eb, spaRV1909eb, engKJV2006eb, engWEB2015eb, spaRV1909eb"
    printf '%s\n' '' '[sessions]' '0\name=Default Session' '0\window\0\key=John 3:1' '0\window\0\maximized=true' \
      "0\\window\\0\\modules=$six" '0\window\0\writeWindowType=0' '0\windowsList=0' 'currentSession=0' \
      >>"$home/.bibletime/bibletimerc"
    HOME="$home" LANG=C.utf8 XDG_RUNTIME_DIR="$home/run" DISPLAY="${DISPLAY_OF[bibletime]}" bibletime \
      >"$WORK/bibletime.log" 2>&1 &
    READER_PID[bibletime]=$!
    wait_window bibletime "^BibleTime"
    sleep 4
    FIELD[bibletime]="394 81"
    RECT[bibletime]="${QS_BIBLETIME6_RECT:-278,132,764,530}"
    ALL_RECT[bibletime]="${RECT[bibletime]}"
    REST[bibletime]="100 300"
    return
  fi
  HOME="$home" LANG=C.utf8 XDG_RUNTIME_DIR="$home/run" DISPLAY="${DISPLAY_OF[bibletime]}" bibletime \
    >"$WORK/bibletime.log" 2>&1 &
  READER_PID[bibletime]=$!
  wait_window bibletime "^BibleTime"
  sleep 3
  # The King James Bible from the bookshelf: filter, open the folders, double-click the module.
  on bibletime xdotool mousemove 127 101 click 1
  on bibletime xdotool type --delay 5 "KJV"
  sleep 0.5
  on bibletime xdotool mousemove 11 129 click 1
  sleep 0.3
  on bibletime xdotool mousemove 31 146 click 1
  sleep 0.3
  on bibletime xdotool mousemove 111 163 click --repeat 2 --delay 80 1
  sleep 3
  FIELD[bibletime]="415 106"
  RECT[bibletime]="${QS_BIBLETIME_RECT:-285,160,750,500}"
  REST[bibletime]="100 300"
}

# type_reference READER REFERENCE [DELAY_MS]: puts the reference in the reader's go-to field (Return
# not pressed), DELAY_MS (2) between its keys, the pointer moved to its resting place before the keys.
type_reference() {
  local r=$1 ref=$2 delay=${3:-2}
  if [ "${FIELD[$r]}" = key ]; then
    on "$r" xdotool key ctrl+l
  else
    # shellcheck disable=SC2086
    on "$r" xdotool mousemove ${FIELD[$r]} click 1
  fi
  on "$r" xdotool key ctrl+a
  # shellcheck disable=SC2086
  on "$r" xdotool mousemove ${REST[$r]}
  on "$r" xdotool type --delay "$delay" "$ref"
}

# go_untimed READER REFERENCE
go_untimed() {
  type_reference "$1" "$2"
  on "$1" xdotool key Return
  sleep 0.8
}

. "$ROOT/bench/screen_words.sh"

# reference_picture READER ROW REFERENCE WORDS [RECT [IGNORED]]: sends the reader to the row's verse,
# lets it settle and keeps the picture of the rectangle as $PICTURES/<row>-<reader>.ppm, for a person
# to look at and, without tesseract, for the rounds to be compared with; with tesseract, the picture
# must show the verse's words (so the check itself is known to read this reader's screen).
reference_picture() {
  local r=$1 row=$2 ref=$3 words=$4 rect=${5:-${RECT[$1]}} leave_out=() file read
  [ -n "${6:-}" ] && leave_out=(--ignore "$6")
  file="$PICTURES/${row// /_}-$r.ppm"
  go_untimed "$r" "$ref"
  sleep 1.5
  "$WATCH" --display "${DISPLAY_OF[$r]}" --rect "$rect" "${leave_out[@]}" --snapshot "$file" ||
    die "$r: the reference picture of '$row' could not be taken"
  if [ "$OCR" = 1 ] && ! read="$(shows_words "$file" "$words")"; then
    die "$r: the reference picture of '$row' ($file) does not show $ref: $read words of \"$words\" read"
  fi
  echo "$file"
}

# go_timed READER REFERENCE EXPECTED FINAL [RECT [IGNORED]]: types the reference, has the watcher press
# Return and prints its readable_ms, or "fail"; the settled picture goes to FINAL.
go_timed() {
  local r=$1 ref=$2 expected=$3 final=$4 rect=${5:-${RECT[$1]}} leave_out=() out
  [ -n "${6:-}" ] && leave_out=(--ignore "$6")
  # QS_SCREEN_SAVE=1 keeps every distinct picture of the go-to too, as $PICTURES/seen-<reader>-<time>-<n>.ppm
  # (0: the picture before the key), named in its line of rounds.log: what changed when.
  local seen=""
  if [ "${QS_SCREEN_SAVE:-0}" = 1 ]; then
    seen="$PICTURES/seen-$r-$(date +%H%M%S)"
    leave_out+=(--save "$seen")
  fi
  # The main thread's processor time from the first key of the reference until the picture settled.
  local cpu0 start_s
  cpu0="$(main_thread_ns "$r")"
  start_s="$(date +%s.%N)"
  # How the reference reaches the field before the timed Return (the row's typing, see QS_SCREEN_TYPING).
  case "$TYPING" in
    typed) type_reference "$r" "$ref" 120; sleep 0.3 ;;
    pasted) type_reference "$r" "$ref" 0 ;;
    *) type_reference "$r" "$ref"; sleep 0.6 ;;
  esac
  if out="$("$WATCH" --display "${DISPLAY_OF[$r]}" --rect "$rect" "${leave_out[@]}" --interval "$INTERVAL" --settle 700 \
    --timeout 6000 --expect "$expected" --final "$final" 2>>"$WORK/watch-$r.log")"; then
    echo "$(basename "$expected" .ppm) $out${seen:+ saved=$(basename "$seen")}" >>"$PICTURES/rounds.log"
    echo "$out" >"$final.line"
    awk -v a="$cpu0" -v b="$(main_thread_ns "$r")" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }' >"$WORK/cpu-$r.last"
    echo "$cpu0 $start_s" >"$WORK/cpu0-$r"
    sed -n 's/.*readable_ms=\([-0-9.]*\).*/\1/p' <<<"$out"
  else
    echo fail
  fi
}

# main_thread_ns READER: the processor time (ns) the reader's main thread has used so far.
main_thread_ns() {
  local p=${READER_PID[$1]}
  cut -d' ' -f1 "/proc/$p/task/$p/schedstat" 2>/dev/null || echo 0
}

# judged READER TIME WORDS EXPECTED FINAL: the time when the settled picture shows the verse gone to
# (with tesseract: its words; without: the EXPECTED picture), else "wrong", keeping that picture as
# <expected>-wrong-<n>.ppm; "fail" stays "fail".
judged() {
  local r=$1 t=$2 words=$3 expected=$4 final=$5 right=0
  [ "$t" = fail ] && { echo fail; return; }
  if [ "$OCR" = 1 ]; then
    shows_words "$final" "$words" >/dev/null && right=1
  else
    grep -q "matches=1" "$final.line" && right=1
  fi
  if [ "$right" = 1 ]; then
    echo "$t"
  else
    cp "$final" "${expected%.ppm}-wrong-$(date +%s%N).ppm"
    echo wrong
  fi
}

# tree_cpu_ticks PID: user + system clock ticks of the process and every process below it.
tree_cpu_ticks() {
  local pids=("$1") all=() p kids total=0
  while [ ${#pids[@]} -gt 0 ]; do
    p=${pids[0]}
    pids=("${pids[@]:1}")
    all+=("$p")
    kids="$(cat /proc/"$p"/task/*/children 2>/dev/null || true)"
    for k in $kids; do pids+=("$k"); done
  done
  for p in "${all[@]}"; do
    if [ -r "/proc/$p/stat" ]; then
      # Fields 14 and 15 (utime, stime), counted after the command's closing parenthesis.
      total=$((total + $(sed 's/.*) //' "/proc/$p/stat" | awk '{ print $12 + $13 }')))
    fi
  done
  echo "$total"
}

# Web-engine processes of other programs: QtWebEngineProcess and WebKitGTK's web processes outside
# the readers' trees.
other_engines() {
  local mine=" " r p n=0
  for r in "${!READER_PID[@]}"; do
    for p in $(descendants "${READER_PID[$r]}"); do mine+="$p "; done
  done
  for p in $(pgrep -x 'QtWebEngineProc|WebKitWebProces' 2>/dev/null || true); do
    [[ "$mine" == *" $p "* ]] || n=$((n + 1))
  done
  echo "$n"
}
descendants() {
  local pids=("$1") p
  while [ ${#pids[@]} -gt 0 ]; do
    p=${pids[0]}
    pids=("${pids[@]:1}")
    echo "$p"
    # shellcheck disable=SC2207
    pids+=($(cat /proc/"$p"/task/*/children 2>/dev/null || true))
  done
}

median() { sort -n | awk '{ t[NR] = $1 } END { if (NR == 0) { print "n/a"; exit }
  m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.0f", m }'; }
range() { sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { if (NR) printf "%.0f-%.0f", lo, hi; else print "n/a" }'; }

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
engines_before="$(other_engines)"
active=()
for r in $READERS; do
  case "$r" in
    quillstead) ;;
    xiphos | bibletime)
      command -v "$r" >/dev/null || { echo "compare_screens: $r is not installed; left out (apt-get install $r)"; continue; } ;;
    *) die "unknown reader '$r'" ;;
  esac
  start_display "$r"
  "start_$r"
  active+=("$r")
done
[ ${#active[@]} -gt 0 ] || die "no reader to time"

# Each row: its name, the verse gone from, the verse gone to, and the opening words of the verse gone
# to (King James) that its picture must show.
CASES=("same chapter|John 3:1|John 3:36|He that believeth on the Son hath everlasting life"
  "other chapter|John 3:1|John 9:1|And as Jesus passed by he saw a man which was blind"
  "other book|John 3:1|Romans 8:28|And we know that all things work together for good")
if [ -n "${QS_SCREEN_CASES:-}" ]; then
  picked=()
  for c in "${CASES[@]}"; do
    [[ ",$QS_SCREEN_CASES," == *",${c%%|*},"* ]] && picked+=("$c")
  done
  [ ${#picked[@]} -gt 0 ] || die "QS_SCREEN_CASES='$QS_SCREEN_CASES' names no row"
  CASES=("${picked[@]}")
fi
PAUSE="${QS_SCREEN_PAUSE:-0}"
# QS_SCREEN_TYPING: how the timed reference is typed, one or more of (comma-separated) "settled" (the
# default: its keys 2 ms apart, Return 0.6 s after the last), "typed" (as a person types: 120 ms a key,
# Return 300 ms after the last) and "pasted" (the keys sent at once, and Return as soon as the watcher
# has started, some 5-10 ms later); with more than one, each row is timed in each way, its name
# followed by the way ("other chapter, typed").
TYPINGS="${QS_SCREEN_TYPING:-settled}"
TYPING=settled
if [ "$TYPINGS" != settled ]; then
  typed_cases=()
  for c in "${CASES[@]}"; do
    for t in ${TYPINGS//,/ }; do
      case "$t" in settled | typed | pasted) ;; *) die "QS_SCREEN_TYPING: unknown way '$t'" ;; esac
      typed_cases+=("${c%%|*}, $t|${c#*|}")
    done
  done
  CASES=("${typed_cases[@]}")
fi
echo -e "row\tround\treader\tms\tload\tpause_s" >"$PICTURES/rounds.tsv"
declare -A TIMES EXPECTED ROUND_TIMES CPU_TIMES CPU_WHOLE
for c in "${CASES[@]}"; do
  IFS='|' read -r name from to words <<<"$c"
  for r in "${active[@]}"; do
    EXPECTED["$name|$r"]="$(reference_picture "$r" "$name" "$to" "$words")"
  done
done

# one_round ROUND NAME FROM TO WORDS [RECT-FUNCTION]: every reader's go-to of one row, the readers
# taking turns from reader number ROUND (modulo their count).
one_round() {
  local round=$1 name=$2 from=$3 to=$4 words=$5 rect_of=${6:-} n=${#active[@]} i r t load
  local order=() rects=() ignores=()
  for ((i = 0; i < n; i++)); do order+=("${active[$(((round + i) % n))]}"); done
  for r in "${order[@]}"; do
    rect="${RECT[$r]}" ignored=""
    [ -n "$rect_of" ] && "$rect_of" "$name" "$r"
    rects+=("$rect")
    ignores+=("$ignored")
  done
  load="$(cut -d' ' -f1 /proc/loadavg)"
  declare -A raw=()
  if [ "$PAUSE" != 0 ]; then
    for r in "${order[@]}"; do go_untimed "$r" "$from"; done
    sleep "$PAUSE"
    for ((i = 0; i < n; i++)); do
      r=${order[$i]}
      raw[$r]="$(go_timed "$r" "$to" "${EXPECTED["$name|$r"]}" "$WORK/final-$r.ppm" "${rects[$i]}" "${ignores[$i]}")"
    done
  else
    for ((i = 0; i < n; i++)); do
      r=${order[$i]}
      go_untimed "$r" "$from"
      raw[$r]="$(go_timed "$r" "$to" "${EXPECTED["$name|$r"]}" "$WORK/final-$r.ppm" "${rects[$i]}" "${ignores[$i]}")"
    done
  fi
  # The whole go-to's main-thread time: each reader's, from the first key of the reference until
  # $CPU_WINDOW s later (a reader may do part of a go-to's work seconds after the picture settled).
  for r in "${order[@]}"; do
    [ -f "$WORK/cpu0-$r" ] || continue
    read -r cpu0 start_s <"$WORK/cpu0-$r"
    sleep "$(awk -v s="$start_s" -v w="$CPU_WINDOW" -v now="$(date +%s.%N)" 'BEGIN { d = s + w - now; printf "%.3f", (d > 0 ? d : 0) }')"
    awk -v a="$cpu0" -v b="$(main_thread_ns "$r")" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }' >"$WORK/cpu-whole-$r.last"
    rm -f "$WORK/cpu0-$r"
  done
  for r in "${order[@]}"; do
    t="$(judged "$r" "${raw[$r]}" "$words" "${EXPECTED["$name|$r"]}" "$WORK/final-$r.ppm")"
    TIMES["$name|$r"]+="$t "
    [[ "$t" =~ ^[0-9.]+$ ]] && [ -f "$WORK/cpu-$r.last" ] && CPU_TIMES["$name|$r"]+="$(cat "$WORK/cpu-$r.last") "
    [[ "$t" =~ ^[0-9.]+$ ]] && [ -f "$WORK/cpu-whole-$r.last" ] && CPU_WHOLE["$name|$r"]+="$(cat "$WORK/cpu-whole-$r.last") "
    rm -f "$WORK/cpu-$r.last" "$WORK/cpu-whole-$r.last"
    ROUND_TIMES["$name|$round|$r"]="$t"
    echo -e "$name\t$((round + 1))\t$r\t$t\t$load\t$PAUSE" >>"$PICTURES/rounds.tsv"
  done
}

for ((round = 0; round < ROUNDS; round++)); do
  for c in "${CASES[@]}"; do
    IFS='|' read -r name from to words <<<"$c"
    TYPING=settled
    [[ "$name" == *", typed" ]] && TYPING=typed
    [[ "$name" == *", pasted" ]] && TYPING=pasted
    one_round "$round" "$name" "$from" "$to" "$words"
  done
done

declare -A IDLE IDLE_MAIN
if [ "$IDLE_SECONDS" != 0 ]; then
  hz="$(getconf CLK_TCK)"
  for r in "${active[@]}"; do
    # shellcheck disable=SC2086
    on "$r" xdotool mousemove ${REST[$r]}
  done
  sleep 2
  for r in "${active[@]}"; do
    IDLE[$r]="$(tree_cpu_ticks "${READER_PID[$r]}")"
    IDLE_MAIN[$r]="$(main_thread_ns "$r")"
  done
  sleep "$IDLE_SECONDS"
  for r in "${active[@]}"; do
    IDLE[$r]="$(awk -v a="${IDLE[$r]}" -v b="$(tree_cpu_ticks "${READER_PID[$r]}")" -v hz="$hz" \
      'BEGIN { printf "%.2f", (b - a) / hz }')"
    IDLE_MAIN[$r]="$(awk -v a="${IDLE_MAIN[$r]}" -v b="$(main_thread_ns "$r")" -v s="$IDLE_SECONDS" \
      'BEGIN { printf "%.2f", (b - a) / 1e6 / s }')"
  done
fi

# Six Bibles at once: each reader is started again on the layout that shows them.
SIX_CASES=()
TYPING=settled
if [ "${QS_SCREEN_SIX:-1}" = 1 ]; then
  SIX_CASES=("6 panes, the pane gone to|John 3:1|John 3:36|He that believeth on the Son hath everlasting life"
    "6 panes, all six|John 3:1|John 3:36|He that believeth on the Son hath everlasting life"
    "6 panes, all six with scroll bars|John 3:1|John 3:36|He that believeth on the Son hath everlasting life")
  for r in "${active[@]}"; do
    kill "${READER_PID[$r]}" 2>/dev/null || true
    wait "${READER_PID[$r]}" 2>/dev/null || true
    "start_$r" 6
  done
  six_rect() {
    rect="${RECT[$2]}" ignored=""
    if [[ "$1" == *"scroll bars"* ]]; then
      rect="${BARS_RECT[$2]:-${ALL_RECT[$2]}}"
    elif [[ "$1" == *"all six"* ]]; then
      rect="${ALL_RECT[$2]}"
      ignored="${ALL_IGNORE[$2]:-}"
    fi
  }
  for c in "${SIX_CASES[@]}"; do
    IFS='|' read -r name from to words <<<"$c"
    for r in "${active[@]}"; do
      six_rect "$name" "$r"
      EXPECTED["$name|$r"]="$(reference_picture "$r" "$name" "$to" "$words" "$rect" "$ignored")"
    done
  done
  for ((round = 0; round < ROUNDS; round++)); do
    for c in "${SIX_CASES[@]}"; do
      IFS='|' read -r name from to words <<<"$c"
      one_round "$round" "$name" "$from" "$to" "$words" six_rect
    done
  done
fi
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"
engines_after="$(other_engines)"

pause_text="back to back"
[ "$PAUSE" != 0 ] && pause_text="each round's go-tos after $PAUSE s left alone"
echo "Go-to as the screen shows it on $(uname -n), $(nproc) cores, $(date -u +%Y-%m-%dT%H:%MZ);" \
  "load average $load_before before, $load_after after; web-engine processes of other programs:" \
  "$engines_before before, $engines_after after; $ROUNDS rounds, the readers in turn ($pause_text)," \
  "screen copied every $INTERVAL ms"
printf '%-52s' "Return in the go-to field -> verse readable"
for r in "${active[@]}"; do printf ' %22s' "$r ms (range)"; done
echo
for c in "${CASES[@]}" "${SIX_CASES[@]}"; do
  IFS='|' read -r name from to words <<<"$c"
  printf '%-52s' "$name ($from -> $to)"
  for r in "${active[@]}"; do
    list="$(tr ' ' '\n' <<<"${TIMES["$name|$r"]}" | grep -E '^[0-9.]+$' || true)"
    fails="$(tr ' ' '\n' <<<"${TIMES["$name|$r"]}" | grep -c -x fail || true)"
    wrong="$(tr ' ' '\n' <<<"${TIMES["$name|$r"]}" | grep -c -x wrong || true)"
    cell="$(median <<<"$list") ($(range <<<"$list"))"
    [ "$fails" -gt 0 ] && cell="$cell ${fails} failed"
    [ "$wrong" -gt 0 ] && cell="$cell ${wrong} wrong"
    printf ' %22s' "$cell"
  done
  echo
done
echo
for measure in "to the settled picture|CPU_TIMES" "the whole go-to, ${CPU_WINDOW} s from its first key|CPU_WHOLE"; do
  printf '%s\n' "main thread's CPU ms per go-to, ${measure%%|*}, median (range)"
  declare -n cpu_of="${measure#*|}"
  for c in "${CASES[@]}" "${SIX_CASES[@]}"; do
    IFS='|' read -r name from to words <<<"$c"
    printf '%-52s' "$name"
    for r in "${active[@]}"; do
      list="$(tr ' ' '\n' <<<"${cpu_of["$name|$r"]:-}" | grep -E '^[0-9.]+$' || true)"
      printf ' %22s' "$(median <<<"$list") ($(range <<<"$list"))"
    done
    echo
  done
  unset -n cpu_of
done
if [ "$IDLE_SECONDS" != 0 ]; then
  printf '%-52s' "idle, CPU s of the process tree in ${IDLE_SECONDS} s"
  for r in "${active[@]}"; do printf ' %22s' "${IDLE[$r]}"; done
  echo
  printf '%-52s' "idle, main thread CPU ms a second"
  for r in "${active[@]}"; do printf ' %22s' "${IDLE_MAIN[$r]}"; done
  echo
fi

# Quillstead's time over each peer's, round by round (rounds where both read right).
peers=()
for r in "${active[@]}"; do [ "$r" = quillstead ] || peers+=("$r"); done
if [[ " ${active[*]} " == *" quillstead "* ]] && [ ${#peers[@]} -gt 0 ]; then
  echo
  printf '%-52s' "Quillstead / peer in the same round"
  for p in "${peers[@]}"; do printf ' %30s' "/ $p: median (range), ahead"; done
  echo
  for c in "${CASES[@]}" "${SIX_CASES[@]}"; do
    IFS='|' read -r name from to words <<<"$c"
    printf '%-52s' "$name"
    for p in "${peers[@]}"; do
      ratios=""
      ahead=0
      pairs=0
      for ((round = 0; round < ROUNDS; round++)); do
        q="${ROUND_TIMES["$name|$round|quillstead"]:-}" o="${ROUND_TIMES["$name|$round|$p"]:-}"
        [[ "$q" =~ ^[0-9.]+$ && "$o" =~ ^[0-9.]+$ ]] || continue
        awk -v q="$q" -v o="$o" 'BEGIN { exit !(o > 0) }' || continue
        ratios+="$(awk -v q="$q" -v o="$o" 'BEGIN { printf "%.3f", q / o }') "
        pairs=$((pairs + 1))
        awk -v q="$q" -v o="$o" 'BEGIN { exit !(q < o) }' && ahead=$((ahead + 1))
      done
      list="$(tr ' ' '\n' <<<"$ratios" | grep -E '^[0-9.]+$' || true)"
      cell="$(sort -n <<<"$list" | awk '{ t[NR] = $1 } END { if (NR == 0) { print "n/a"; exit }
        m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.2f (%.2f-%.2f)", m, t[1], t[NR] }'), $ahead of $pairs"
      printf ' %30s' "$cell"
    done
    echo
  done
  echo "(below 1: Quillstead ahead; every round's times and load: $PICTURES/rounds.tsv)"
fi
