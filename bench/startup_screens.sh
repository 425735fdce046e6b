#!/usr/bin/env bash
# The start-up a user sees, in Quillstead, BibleTime and Xiphos: from the moment the program is
# started until the screen shows its King James text settled, copied from the screen every
# $QS_STARTUP_INTERVAL ms (5) by qs_screen_watch (--exec), on an X server of each reader's own
# (Xvfb, 1600 x 1000, no window manager).
#
# Each reader starts in a home of its own, made by a first start that is not timed (Quillstead
# installs its books, Xiphos writes its settings); then QS_STARTUP_RUNS (5) rounds, the readers in
# turn, the first changing from round to round. The rectangle watched is the Bible text each shows on
# its start: Quillstead the King James pane of its first layout (Genesis 1), BibleTime one Bible
# window on the KJV (its session, John 3), Xiphos the KJV text of its main window (Romans 8:28); the
# settled picture must show the verse's words (tesseract), else the start counts as "wrong" (its
# picture kept in $QS_SCREEN_PICTURES, default bench-screens/ under the build). The
# time is to the picture the rectangle settled on (no change for QS_STARTUP_SETTLE ms, 1000).
#
#   warm   the program's files in the system's file cache (the start before was a moment ago);
#   cold   before each start, the reader's own files are dropped from the file cache
#          (posix_fadvise DONTNEED): its private copy of its toolkit's libraries (as in
#          bench/memory_alone.sh: Qt and the web engine's resources; Qt 5, SWORD and CLucene;
#          WebKitGTK, JavaScriptCore, GTK 3 and SWORD), its program, its helper programs (the
#          engine's renderer program, WebKit's web and network processes), its books (our sample
#          books; SWORD's modules). Pages another process has mapped stay (the system's libraries,
#          fonts); the line says how many MB of those files were still cached after the drop.
#          QS_STARTUP_COLD=0 leaves the cold rows out.
#
# Prints each start, then per reader the median and range of the warm and cold starts, with the
# load average before and after and the web-engine processes of other programs.
# QS_BUILD_DIR: the build whose `quillstead` and `qs_screen_watch` are timed (default build).
# QS_STARTUP_READERS picks readers ("quillstead bibletime xiphos"). Run it on an otherwise idle machine.
set -u
cd "$(dirname "$0")/.." || exit 1
BUILD=${QS_BUILD_DIR:-build}
case "$BUILD" in /*) ;; *) BUILD="$PWD/$BUILD" ;; esac
RUNS=${QS_STARTUP_RUNS:-5}
INTERVAL=${QS_STARTUP_INTERVAL:-5}
SETTLE=${QS_STARTUP_SETTLE:-1000}
COPY=${QS_QT_COPY:-/tmp/qs-qt-private}
WATCH="$BUILD/bench/screen/qs_screen_watch"
PICTURES="${QS_SCREEN_PICTURES:-$BUILD/bench-screens}"
READERS=${QS_STARTUP_READERS:-quillstead bibletime xiphos}
die() { echo "startup_screens: $*" >&2; exit 1; }
[ -x "$BUILD/app/quillstead" ] || die "$BUILD/app/quillstead is missing"
[ -x "$WATCH" ] || die "$WATCH is missing"
command -v tesseract >/dev/null || die "tesseract is missing (apt-get install tesseract-ocr)"

# The private copies, made as bench/memory_alone.sh makes them.
# shellcheck source=bench/private_copies.sh
. bench/private_copies.sh
make_qt_copy
WORK=$(mktemp -d)
declare -A DISPLAY_OF XVFB_OF RECT WORDS TIMES
cleanup() {
    local r
    for r in "${!XVFB_OF[@]}"; do kill "${XVFB_OF[$r]}" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
active=()
for r in $READERS; do
    case $r in
    quillstead)
        RECT[$r]=${QS_STARTUP_QUILLSTEAD_RECT:-790,150,620,345}
        WORDS[$r]="In the beginning God created the heaven and the earth"
        ;;
    bibletime)
        RECT[$r]=${QS_STARTUP_BIBLETIME_RECT:-280,130,760,520}
        WORDS[$r]="There was a man of the Pharisees, named Nicodemus, a ruler of the Jews"
        ;;
    xiphos)
        RECT[$r]=${QS_STARTUP_XIPHOS_RECT:-245,140,260,430}
        WORDS[$r]="And we know that all things work together for good"
        ;;
    *) die "unknown reader $r" ;;
    esac
    if [ "$r" != quillstead ]; then
        command -v "$r" >/dev/null || { echo "$r is not installed (apt-get install $r); left out"; continue; }
        make_peer_copy "$r"
    fi
    start_display "$r" "${QS_STARTUP_DISPLAY:-$((400 + RANDOM % 100))}"
    active+=("$r")
done
[ ${#active[@]} -gt 0 ] || die "no reader to time"

# command_of READER: the reader's command line, with its environment, on its private copy.
command_of() {
    local r=$1 h="$WORK/home-$1"
    case $r in
    quillstead)
        echo env LD_LIBRARY_PATH="$COPY/lib" QTWEBENGINE_RESOURCES_PATH="$COPY/resources" \
            QTWEBENGINE_LOCALES_PATH="$COPY/locales" QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox HOME="$h" \
            XDG_RUNTIME_DIR="$h/run" XDG_CONFIG_HOME="$h/config" XDG_DATA_HOME="$h/data" XDG_CACHE_HOME="$h/cache" \
            DISPLAY="${DISPLAY_OF[$r]}" QT_QPA_PLATFORM=xcb "$BUILD/app/quillstead"
        ;;
    *)
        echo env LD_LIBRARY_PATH="$COPY-$r/lib" HOME="$h" LANG=C.utf8 LC_ALL=C.utf8 XDG_RUNTIME_DIR="$h/run" \
            DISPLAY="${DISPLAY_OF[$r]}" "$r"
        ;;
    esac
}
# The files a cold start finds out of the cache.
files_of() {
    case $1 in
    quillstead)
        echo "$COPY" "$BUILD/app/quillstead" /usr/lib/qt6/libexec/QtWebEngineProcess "$WORK/home-$1/data"
        ;;
    bibletime) echo "$COPY-$1" /usr/bin/bibletime /usr/share/sword /usr/share/bibletime ;;
    xiphos) echo "$COPY-$1" /usr/bin/xiphos /usr/lib/x86_64-linux-gnu/webkit2gtk-4.0 /usr/share/sword /usr/share/xiphos ;;
    esac
}
# evict READER: drops the reader's files from the file cache; prints the MB still cached.
evict() {
    # shellcheck disable=SC2046
    python3 - $(files_of "$1") <<'EOF'
import os, sys
for top in sys.argv[1:]:
    for root, _, names in os.walk(top) if os.path.isdir(top) else [(os.path.dirname(top), [], [os.path.basename(top)])]:
        for name in names:
            path = os.path.join(root, name)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            try:
                fd = os.open(path, os.O_RDONLY)
            except OSError:
                continue
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
            os.close(fd)
EOF
    # shellcheck disable=SC2046
    find $(files_of "$1") -type f -print0 2>/dev/null | xargs -0 -r fincore --bytes --noheadings --output RES 2>/dev/null |
        awk '{ s += $1 } END { printf "%.1f", s / 1048576 }'
}
. bench/screen_words.sh
# end PID: ends a started reader and waits until it and its children are gone (10 s at most).
end() {
    local kids
    kids=$(cat /proc/"$1"/task/*/children 2>/dev/null)
    kill "$1" 2>/dev/null
    for _ in $(seq 1 100); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$1" 2>/dev/null
    for k in $kids; do kill "$k" 2>/dev/null; done
    sleep 1
}
# start_timed READER KIND: one start watched from the screen; its time (ms), "wrong" or "fail".
start_timed() {
    local r=$1 kind=$2 out pid t cached=""
    [ "$kind" = cold ] && cached=$(evict "$r")
    # shellcheck disable=SC2046
    out=$("$WATCH" --display "${DISPLAY_OF[$r]}" --rect "${RECT[$r]}" --interval "$INTERVAL" --settle "$SETTLE" \
        --timeout 30000 --final "$WORK/final-$r.ppm" --exec $(command_of "$r") 2>>"$WORK/watch.log")
    pid=$(sed -n 's/.*pid=\([0-9]*\).*/\1/p' <<<"$out")
    t=$(sed -n 's/.*readable_ms=\([-0-9.]*\).*/\1/p' <<<"$out")
    [ -n "$pid" ] && end "$pid"
    if [ -z "$t" ]; then
        t=fail
    elif ! shows_words "$WORK/final-$r.ppm" "${WORDS[$r]}" >/dev/null; then
        mkdir -p "$PICTURES" && cp "$WORK/final-$r.ppm" "$PICTURES/startup-wrong-$r-$(date +%s).ppm"
        t=wrong
    fi
    echo "$t${cached:+ (of its files, $cached MB were still cached after the drop)}"
}
other_engines() { pgrep -x 'QtWebEngineProc|WebKitWebProces' 2>/dev/null | wc -l; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
engines_before=$(other_engines)
for r in "${active[@]}"; do
    h="$WORK/home-$r"
    mkdir -p "$h/run" "$h/.bibletime" && chmod 700 "$h/run"
    printf '%s\n' '[General]' 'btconfig_api_version=1' '' '[GUI]' 'booknameLanguage=en_US' \
        'showTipAtStartup=false' '' '[sessions]' '0\name=Default Session' '0\window\0\key=John 3:1' \
        '0\window\0\maximized=true' '0\window\0\modules=engKJV2006eb' '0\window\0\writeWindowType=0' \
        '0\windowsList=0' 'currentSession=0' >"$h/.bibletime/bibletimerc"
    # The first start, not timed; then one warm start, not timed either (the files come into the cache).
    for _ in 1 2; do
        # shellcheck disable=SC2046
        out=$("$WATCH" --display "${DISPLAY_OF[$r]}" --rect "${RECT[$r]}" --settle 2000 --timeout 60000 \
            --exec $(command_of "$r") 2>>"$WORK/watch.log")
        pid=$(sed -n 's/.*pid=\([0-9]*\).*/\1/p' <<<"$out")
        [ -n "$pid" ] && end "$pid"
    done
done
kinds="warm"
[ "${QS_STARTUP_COLD:-1}" = 1 ] && kinds="warm cold"
for ((round = 0; round < RUNS; round++)); do
    n=${#active[@]}
    for kind in $kinds; do
        for ((i = 0; i < n; i++)); do
            r=${active[$(((round + i) % n))]}
            t=$(start_timed "$r" "$kind")
            echo "round $((round + 1)) $kind $r: ${t%% *} ms${t#"${t%% *}"}, load $(cut -d' ' -f1 /proc/loadavg)"
            TIMES["$kind|$r"]+="${t%% *} "
        done
    done
done
echo
echo "Start-up to the King James text settled on the screen, $(nproc) cores, $(date -u +%Y-%m-%dT%H:%MZ);" \
    "load average $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after; web-engine processes of" \
    "other programs: $engines_before before, $(other_engines) after; $RUNS rounds, screen copied every $INTERVAL ms"
for kind in $kinds; do
    for r in "${active[@]}"; do
        list=$(tr ' ' '\n' <<<"${TIMES["$kind|$r"]}" | grep -E '^[0-9.]+$' || true)
        bad=$(tr ' ' '\n' <<<"${TIMES["$kind|$r"]}" | grep -c -E '^(wrong|fail)$' || true)
        printf '%-5s %-11s %s%s\n' "$kind" "$r" "$(sort -n <<<"$list" | awk '{ t[NR] = $1 } END { if (NR == 0) { print "n/a"; exit }
            m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.0f ms (%.0f-%.0f)", m, t[1], t[NR] }')" \
            "$([ "$bad" -gt 0 ] && echo ", $bad wrong or failed")"
    done
done
