#!/usr/bin/env bash
# The memory of Quillstead, BibleTime and Xiphos as a user running each alone pays it, weighed at the
# same moments: each reader's whole process tree (the reader, its web engine's renderer; Xiphos's
# WebKit processes), with no page of its toolkit's libraries shared with another program.
#
# Other programs using the same libraries share their code pages with the reader, which lowers every
# PSS figure. So each reader runs on a private copy of its toolkit's libraries (Quillstead: Qt and
# the web engine's resources, in QS_QT_COPY, by default /tmp/qs-qt-private, its renderer Qt's own
# engine program on the same copy; BibleTime: Qt 5, SWORD, CLucene; Xiphos: WebKitGTK,
# JavaScriptCore, GTK 3, SWORD; in QS_QT_COPY-NAME), made once; `private=yes` says that no process
# outside the reader's tree mapped its copy. `others=N` counts the web-engine processes of other
# programs running (QtWebEngineProcess, WebKitWebProcess).
#
#   bench/memory_alone.sh            QS_MEMORY_RUNS (3) runs; in each, the three readers
#                                    (QS_MEMORY_READERS) side by side, each on an X server of its
#                                    own, in a new home, started once and closed, then started again
#                                    and weighed three times:
#                                      start   QS_MEMORY_WAIT (5) s after its main window appeared;
#                                      go-tos  1 s after QS_MEMORY_GOTOS (40) go-tos typed into its
#                                              go-to field (xdotool: a reference and Return, each to
#                                              another book, QS_MEMORY_GAP (0.3) s
#                                              apart);
#                                      idle    QS_MEMORY_IDLE (60) s after its last go-to, left alone.
#                                    Each weighing: the tree's RSS, PSS, and PSS split into anonymous
#                                    memory (heaps, the pictures of windows and pages: what the
#                                    machine pays for), file-backed pages (code and data of
#                                    programs and libraries, fonts, books: shared with any other
#                                    user of the file, and the system's to evict) and shared memory
#                                    (between processes of the tree); then per moment and reader the
#                                    median over the runs. QS_MEMORY_SHOTS=DIR keeps a screenshot of
#                                    each reader after its go-tos.
#   bench/memory_alone.sh soak       bench_app_GoTo_bench's GoTo_soak (1,000 go-tos) on the copy
#   bench/memory_alone.sh detail     one warm start of Quillstead, the largest mappings of each process
#
# QS_BUILD_DIR picks the build folder (default build); extra reader environment can be given as
# QS_MEMORY_ENV="NAME=value ..." and engine flags as QS_MEMORY_FLAGS (to measure a candidate).
# QS_MEMORY_PEER_COPY=0 runs the peers on the system's libraries. Needs Xvfb and xdotool.
set -u
cd "$(dirname "$0")/.." || exit 1
MODE=${1:-moments}
BUILD=${QS_BUILD_DIR:-build}
RUNS=${QS_MEMORY_RUNS:-3}
WAIT=${QS_MEMORY_WAIT:-5}
GAP=${QS_MEMORY_GAP:-0.3}
COPY=${QS_QT_COPY:-/tmp/qs-qt-private}

# shellcheck source=bench/private_copies.sh
. bench/private_copies.sh
make_qt_copy
ENGINE_ENV=(LD_LIBRARY_PATH="$COPY/lib"
    QTWEBENGINE_RESOURCES_PATH="$COPY/resources" QTWEBENGINE_LOCALES_PATH="$COPY/locales"
    QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox ${QS_MEMORY_FLAGS:-}")
# shellcheck disable=SC2206
EXTRA=(${QS_MEMORY_ENV:-})

tree_of() { local p=$1; echo "$p"; for c in $(cat /proc/"$p"/task/*/children 2>/dev/null); do tree_of "$c"; done; }
# Web-engine processes outside the tree, and whether any process outside it maps the copy's library.
others() {
    local tree=" $* " n=0 shared=no
    for d in /proc/[0-9]*; do
        local p=${d#/proc/}
        case "$tree" in *" $p "*) continue ;; esac
        case "$(cat "$d/comm" 2>/dev/null)" in QtWebEngineProc) n=$((n + 1)) ;; esac
        grep -q "$COPY/lib/libQt6WebEngineCore" "$d/maps" 2>/dev/null && shared=yes
    done
    echo "others=$n private=$([ $shared = no ] && echo yes || echo no)"
}
role() {
    local c; c=$(tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null)
    local parent; parent=$(awk '/^PPid:/{print $2}' "/proc/$1/status" 2>/dev/null)
    # A renderer forked by the zygote keeps the zygote's command line.
    if [ -n "$parent" ] && tr '\0' ' ' <"/proc/$parent/cmdline" 2>/dev/null | grep -q -- --type=zygote; then
        echo renderer
        return
    fi
    case "$c" in *--type=renderer*) echo renderer ;; *--type=zygote*) echo zygote ;; *--type=*) echo "${c##*--type=}" | cut -d' ' -f1 ;; *) echo reader ;; esac
}


# weigh PID...: the processes' RSS, PSS, anonymous, file-backed and shared-memory PSS and USS, in KiB,
# summed ("rss pss anon file shmem uss").
weigh() {
    local p
    for p in "$@"; do
        awk '$1=="Rss:"{r=$2} $1=="Pss:"{p=$2} $1=="Pss_Anon:"{a=$2} $1=="Pss_File:"{f=$2} $1=="Pss_Shmem:"{s=$2}
             $1=="Private_Clean:"||$1=="Private_Dirty:"{u+=$2}
             END{print r+0, p+0, a+0, f+0, s+0, u+0}' "/proc/$p/smaps_rollup" 2>/dev/null
    done | awk '{for (i = 1; i <= 6; i++) t[i] += $i} END{printf "%d %d %d %d %d %d\n", t[1], t[2], t[3], t[4], t[5], t[6]}'
}
# Web-engine processes of other programs (outside every reader's tree).
other_engines() {
    local mine n=0 p
    mine=" $(tr '\n' ' ' <<<"$*") "
    for p in $(pgrep -x 'QtWebEngineProc|WebKitWebProces' 2>/dev/null || true); do
        case "$mine" in *" $p "*) ;; *) n=$((n + 1)) ;; esac
    done
    echo "$n"
}
# The private copy of a reader's libraries: the folder, and the library whose mappings tell whether it
# stayed private.
copy_of() { case $1 in quillstead) echo "$COPY/lib" ;; *) echo "$COPY-$1/lib" ;; esac; }
key_library() {
    case $1 in quillstead) echo libQt6WebEngineCore ;; bibletime) echo libQt5Core ;; xiphos) echo libwebkit2gtk ;; esac
}
# private READER PID...: whether no process outside the tree maps the reader's copy of its key library.
private() {
    local lib tree d
    lib="$(copy_of "$1")/$(key_library "$1")"
    shift
    tree=" $* "
    for d in /proc/[0-9]*; do
        case "$tree" in *" ${d#/proc/} "*) continue ;; esac
        grep -q "$lib" "$d/maps" 2>/dev/null && { echo no; return; }
    done
    echo yes
}

if [ "$MODE" = moments ]; then
    READERS=${QS_MEMORY_READERS:-quillstead bibletime xiphos}
    GOTOS=${QS_MEMORY_GOTOS:-40}
    IDLE=${QS_MEMORY_IDLE:-60}
    WORK=$(mktemp -d)
    declare -A DISPLAY_OF XVFB_OF PID HOME_OF SHOWN LAST FIELD
    active=()
    for r in $READERS; do
        case $r in
        quillstead) ;;
        bibletime | xiphos)
            command -v "$r" >/dev/null || { echo "$r is not installed (apt-get install $r); left out"; continue; } ;;
        *) echo "unknown reader $r" >&2; exit 2 ;;
        esac
        make_peer_copy "$r"
        start_display "$r" "${QS_MEMORY_DISPLAY:-$((300 + RANDOM % 100))}"
        active+=("$r")
    done
    cleanup() {
        local r
        for r in "${!PID[@]}"; do kill "${PID[$r]}" 2>/dev/null; done
        sleep 0.5
        for r in "${!XVFB_OF[@]}"; do kill "${XVFB_OF[$r]}" 2>/dev/null; done
        rm -rf "$WORK"
    }
    trap cleanup EXIT
    on() { local r=$1; shift; DISPLAY="${DISPLAY_OF[$r]}" "$@"; }
    # launch READER [ARGUMENTS]: starts the reader in its home, on its copy; its pid in PID.
    launch() {
        local r=$1 h=${HOME_OF[$1]} libs
        shift
        libs=$(copy_of "$r")
        [ "$r" != quillstead ] && [ "${QS_MEMORY_PEER_COPY:-1}" = 0 ] && libs=
        case $r in
        quillstead)
            env "${ENGINE_ENV[@]}" "${EXTRA[@]}" HOME="$h" XDG_RUNTIME_DIR="$h/run" XDG_CONFIG_HOME="$h/config" \
                XDG_DATA_HOME="$h/data" XDG_CACHE_HOME="$h/cache" DISPLAY="${DISPLAY_OF[$r]}" QT_QPA_PLATFORM=xcb \
                "$BUILD/app/quillstead" "$@" >>"$h/log" 2>&1 &
            ;;
        *)
            env LD_LIBRARY_PATH="$libs" HOME="$h" LANG=C.utf8 LC_ALL=C.utf8 XDG_RUNTIME_DIR="$h/run" \
                DISPLAY="${DISPLAY_OF[$r]}" "$r" >>"$h/log" 2>&1 &
            ;;
        esac
        PID[$r]=$!
    }
    # main_window READER: the reader's main window once it shows (60 s at most).
    main_window() {
        local w pattern
        case $1 in quillstead) pattern='^Quillstead$' ;; bibletime) pattern='^BibleTime' ;; xiphos) pattern=' - Xiphos$' ;; esac
        for _ in $(seq 1 600); do
            w=$(on "$1" xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
            [ -n "$w" ] && { echo "$w"; return 0; }
            sleep 0.1
        done
        return 1
    }
    # go_to READER REFERENCE: the reference typed into the reader's go-to field, and Return.
    go_to() {
        if [ "$1" = quillstead ]; then
            on "$1" xdotool key ctrl+l ctrl+a
        else
            # shellcheck disable=SC2086
            on "$1" xdotool mousemove ${FIELD[$1]} click 1 key ctrl+a
        fi
        on "$1" xdotool type --delay 2 "$2"
        on "$1" xdotool key Return
    }
    # weigh_reader RUN READER MOMENT: one line, and the figures kept for the medians.
    declare -A FIGURES
    weigh_reader() {
        local run=$1 r=$2 moment=$3 procs figures
        procs=$(tree_of "${PID[$r]}")
        # shellcheck disable=SC2086
        figures=$(weigh $procs)
        FIGURES["$moment|$r"]+="$figures;"
        # shellcheck disable=SC2086
        read -r rss pss anon file shmem u <<<"$figures"
        # shellcheck disable=SC2086
        printf "run %d %-10s %-7s RSS %6.1f  PSS %6.1f = anonymous %6.1f + file %6.1f + shared %5.1f MB  (USS %6.1f)  %d processes, private=%s, others=%s, load %s\n" \
            "$run" "$r" "$moment" "$(bc -l <<<"$rss/1024")" "$(bc -l <<<"$pss/1024")" "$(bc -l <<<"$anon/1024")" \
            "$(bc -l <<<"$file/1024")" "$(bc -l <<<"$shmem/1024")" "$(bc -l <<<"$u/1024")" "$(echo $procs | wc -w)" \
            "$(private "$r" $procs)" "$(other_engines "$(for x in "${PID[@]}"; do tree_of "$x"; done)")" \
            "$(cut -d' ' -f1 /proc/loadavg)"
    }
    until_time() { local now; now=$(date +%s.%N); awk -v a="$1" -v b="$now" 'BEGIN{ d = a - b; if (d > 0) system("sleep " d) }'; }
    books=(Genesis Exodus Psalms Isaiah Matthew John Acts Romans Hebrews Revelation)
    echo "memory at the same moments: ${active[*]}; $RUNS runs, $GOTOS go-tos $GAP s apart, weighed $WAIT s after the window," \
        "1 s after the go-tos and $IDLE s later; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u +%H:%MZ)"
    # The figures belong to these settings: the engine's flags change which of its processes run.
    echo "Quillstead's engine flags: --no-sandbox ${QS_MEMORY_FLAGS:-}; environment: ${QS_MEMORY_ENV:-none}"
    for run in $(seq 1 "$RUNS"); do
        for r in "${active[@]}"; do
            h="$WORK/$r-$run"
            HOME_OF[$r]=$h
            mkdir -p "$h/run" "$h/.bibletime" && chmod 700 "$h/run"
            # BibleTime: one Bible window on the KJV at John 3:1, maximized (its session).
            printf '%s\n' '[General]' 'btconfig_api_version=1' '' '[GUI]' 'booknameLanguage=en_US' \
                'showTipAtStartup=false' '' '[sessions]' '0\name=Default Session' '0\window\0\key=John 3:1' \
                '0\window\0\maximized=true' '0\window\0\modules=engKJV2006eb' '0\window\0\writeWindowType=0' \
                '0\windowsList=0' 'currentSession=0' >"$h/.bibletime/bibletimerc"
            # The first start (Quillstead installs its books and quits once its verses are painted).
            if [ "$r" = quillstead ]; then
                launch "$r" --measure-startup
                wait "${PID[$r]}"
            else
                launch "$r"
                main_window "$r" >/dev/null
                sleep 3
                kill "${PID[$r]}" 2>/dev/null
                wait "${PID[$r]}" 2>/dev/null
            fi
        done
        for r in "${active[@]}"; do
            launch "$r"
            main_window "$r" >/dev/null || { echo "$r: no window" >&2; exit 1; }
            SHOWN[$r]=$(date +%s.%N)
        done
        for r in "${active[@]}"; do
            until_time "$(awk -v t="${SHOWN[$r]}" -v w="$WAIT" 'BEGIN{ printf "%.3f", t + w }')"
            weigh_reader "$run" "$r" start
        done
        for r in "${active[@]}"; do
            w=$(main_window "$r")
            case $r in
            quillstead)
                # The King James pane's tab (the first start's layout): its pane becomes the current one.
                on "$r" xdotool mousemove ${QS_MEMORY_KJV_TAB:-833 119} click 1
                ;;
            bibletime)
                FIELD[$r]="394 81"
                ;;
            xiphos)
                # As bench/compare_screens.sh: the window at 1280 x 800, the note on the locale closed;
                # a GTK window without a window manager has the keyboard while the pointer is over it.
                on "$r" xdotool windowmove "$w" 0 0 windowsize "$w" 1280 800
                sleep 1
                on "$r" xdotool mousemove 189 116 click 1
                sleep 0.5
                FIELD[$r]="900 81"
                ;;
            esac
            for i in $(seq 1 "$GOTOS"); do
                go_to "$r" "${books[$((i % 10))]} $((i % 9 + 1)):$((i % 7 + 1))"
                sleep "$GAP"
            done
            sleep 1
            LAST[$r]=$(date +%s.%N)
            [ -n "${QS_MEMORY_SHOTS:-}" ] && mkdir -p "$QS_MEMORY_SHOTS" &&
                on "$r" import -window root "$QS_MEMORY_SHOTS/$r-$run.png" 2>/dev/null
            weigh_reader "$run" "$r" go-tos
        done
        for r in "${active[@]}"; do
            until_time "$(awk -v t="${LAST[$r]}" -v w="$IDLE" 'BEGIN{ printf "%.3f", t + w }')"
            weigh_reader "$run" "$r" idle
        done
        for r in "${active[@]}"; do
            kill "${PID[$r]}" 2>/dev/null
            wait "${PID[$r]}" 2>/dev/null
        done
    done
    echo
    echo "median (lowest-highest) over $RUNS runs, MB (whole process tree)"
    printf '%-8s %-11s %19s %19s %19s %19s %19s\n' moment reader RSS PSS anonymous file shared
    for moment in start go-tos idle; do
        for r in "${active[@]}"; do
            printf '%-8s %-11s' "$moment" "$r"
            for column in 1 2 3 4 5; do
                tr ';' '\n' <<<"${FIGURES["$moment|$r"]}" | awk -v c="$column" 'NF{print $c}' | sort -n |
                    awk '{v[NR]=$1} END{m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2
                        printf " %19s", sprintf("%.1f (%.1f-%.1f)", m/1024, v[1]/1024, v[NR]/1024)}'
            done
            echo
        done
    done
    exit 0
fi
if [ "$MODE" = soak ]; then
    # The benchmark is the reader's own parts in one program, with the reader's engine flags.
    exec xvfb-run -a -s "-screen 0 1600x1000x24" env "${ENGINE_ENV[@]}" "${EXTRA[@]}" QT_QPA_PLATFORM=xcb \
        QS_SOAK=1 "$BUILD/bench/app/bench_app_GoTo_bench" --benchmark_filter=soak
fi
if [ "$MODE" != detail ]; then
    echo "usage: bench/memory_alone.sh [moments|detail|soak]" >&2
    exit 2
fi

# One warm start, weighed QS_MEMORY_WAIT s after its first verses: each process's largest mappings.
DISPLAY_NUMBER=${QS_MEMORY_DISPLAY:-$((300 + RANDOM % 100))}
Xvfb ":$DISPLAY_NUMBER" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
H=$(mktemp -d)
trap 'kill $XVFB 2>/dev/null; rm -rf "$H"' EXIT
sleep 1
mkdir -p "$H/run" && chmod 700 "$H/run"
reader() {
    env "${ENGINE_ENV[@]}" "${EXTRA[@]}" HOME="$H" XDG_RUNTIME_DIR="$H/run" XDG_CONFIG_HOME="$H/config" \
        XDG_DATA_HOME="$H/data" XDG_CACHE_HOME="$H/cache" DISPLAY=":$DISPLAY_NUMBER" QT_QPA_PLATFORM=xcb \
        "$BUILD/app/quillstead" "$@"
}
# The first start installs the books and quits once its verses are painted; the second is warm.
reader --measure-startup >"$H/first.log" 2>&1
reader --measure-startup --measure-hold $((WAIT * 1000 + 2000)) >"$H/warm.log" 2>&1 &
P=$!
for _ in $(seq 1 600); do grep -q first-verses-painted "$H/warm.log" 2>/dev/null && break; sleep 0.05; done
sleep "$WAIT"
procs=$(tree_of $P | tail -n +2)  # the reader and its children, without the shell that started it
for p in $procs; do
    # shellcheck disable=SC2046
    read -r rss pss anon file shmem u <<<"$(weigh "$p")"
    printf "== %s %s: RSS %.1f PSS %.1f = anonymous %.1f + file %.1f + shared %.1f MB (USS %.1f)\n" "$(role "$p")" "$p" \
        "$(bc -l <<<"$rss/1024")" "$(bc -l <<<"$pss/1024")" "$(bc -l <<<"$anon/1024")" "$(bc -l <<<"$file/1024")" \
        "$(bc -l <<<"$shmem/1024")" "$(bc -l <<<"$u/1024")"
    awk '/^[0-9a-f]+-/{n=$6; if(n=="")n="[anon]"} /^Pss:/{a[n]+=$2} /^Anonymous:/{d[n]+=$2}
         END{for(k in a) if (a[k]>800) printf "%8d kB PSS %8d kB anonymous %s\n", a[k], d[k], k}' \
        "/proc/$p/smaps" | sort -rn | head -"${TOP:-12}"
done
# shellcheck disable=SC2086
echo "$(others $procs), load $(cut -d' ' -f1 /proc/loadavg)"
wait $P 2>/dev/null
