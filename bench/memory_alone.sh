#!/usr/bin/env bash
# The reader's memory as a user running it alone pays it: the reader, its web engine's zygotes and
# renderer, with no page of Qt or of the web engine shared with another program.
#
# Other programs using the web engine on the same machine share its code pages with the reader,
# which lowers every PSS figure. So the reader runs on a private copy of the Qt libraries and of
# the engine's resources (made once in QS_QT_COPY, by default /tmp/qs-qt-private; its renderer is
# the reader's own engine program from the build, on the same copy): no other process maps those
# files. Each figure says whether the copy stayed private (`private=yes`: no process outside the
# tree maps its web-engine library) and how many web-engine processes of other programs ran at the
# time (`others=N`).
#
#   bench/memory_alone.sh            QS_MEMORY_RUNS (5) warm starts, each measured QS_MEMORY_WAIT
#                                    seconds (3) after the window appeared: per process, the tree,
#                                    then the median and range of the tree's PSS and USS
#   bench/memory_alone.sh soak       bench_app_GoTo_bench's GoTo_soak (1,000 go-tos) on the copy
#   bench/memory_alone.sh detail     one warm start, the largest mappings of each process
#   bench/memory_alone.sh used       each warm start then QS_MEMORY_GOTOS (40) go-tos typed into the
#                                    go-to field (Ctrl+L, a reference, Return; each to another book),
#                                    weighed 1 s after the last and again QS_MEMORY_IDLE s (35) later,
#                                    as a reader reading is left (needs xdotool)
#   bench/memory_alone.sh peers      BibleTime and Xiphos weighed the same way (QS_MEMORY_PEERS picks)
#
# QS_BUILD_DIR picks the build folder (default build); extra reader environment can be given as
# QS_MEMORY_ENV="NAME=value ..." (to measure a candidate setting). Needs Xvfb. Runs vary by some
# 10 MB on a shared machine: take the median of several.
set -u
cd "$(dirname "$0")/.."
MODE=${1:-start}
BUILD=${QS_BUILD_DIR:-build}
RUNS=${QS_MEMORY_RUNS:-5}
WAIT=${QS_MEMORY_WAIT:-3}
COPY=${QS_QT_COPY:-/tmp/qs-qt-private}

qtq() { qtpaths6 --query "$1" 2>/dev/null || qmake6 -query "$1"; }
if [ ! -e "$COPY/complete" ]; then
    echo "making the private Qt copy in $COPY" >&2
    mkdir -p "$COPY/lib" "$COPY/resources" "$COPY/locales"
    cp -a "$(qtq QT_INSTALL_LIBS)"/libQt6*.so* "$COPY/lib/"
    cp -a "$(qtq QT_INSTALL_DATA)"/resources/. "$COPY/resources/"
    cp -a "$(qtq QT_INSTALL_TRANSLATIONS)"/qtwebengine_locales/. "$COPY/locales/"
    touch "$COPY/complete"
fi
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
        case "$(cat "$d/comm" 2>/dev/null)" in QtWebEngineProc | quillstead-engi) n=$((n + 1)) ;; esac
        grep -q "$COPY/lib/libQt6WebEngineCore" "$d/maps" 2>/dev/null && shared=yes
    done
    echo "others=$n private=$([ $shared = no ] && echo yes || echo no)"
}
kib() { awk -v k="$2" '$1==k":"{s+=$2} END{print s+0}' "/proc/$1/smaps_rollup" 2>/dev/null; }
uss() { awk '/^Private_(Clean|Dirty):/{s+=$2} END{print s+0}' "/proc/$1/smaps_rollup" 2>/dev/null; }
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

# The peers, weighed the same way: each on a private copy of its toolkit's libraries (made once in
# QS_QT_COPY-NAME; `private=yes` when no process outside its tree maps the copy), a new home,
# QS_MEMORY_RUNS starts, each weighed QS_MEMORY_WAIT seconds after its window had been up for 3 s.
# BibleTime opens one Bible window on the KJV at John 3 (its session), Xiphos its first start's
# window (the KJV at Romans 8, a commentary and Nave's beside it, and the note on the locale).
# QS_MEMORY_PEER_COPY=0 runs them on the system's libraries instead (shared with whatever else runs).
peer_libs() {
    case $1 in
    bibletime) echo 'libQt5*.so* libsword*.so* libclucene*.so*' ;;
    xiphos) echo 'libwebkit2gtk-4.0.so* libjavascriptcoregtk-4.0.so* libgtk-3.so* libgdk-3.so* libsword*.so*' ;;
    esac
}
peer_private() {  # NAME LIBRARY PID...: processes outside the tree mapping the copy's library
    local name=$1 lib=$2 n=0 shared=no
    shift 2
    local tree=" $* "
    for d in /proc/[0-9]*; do
        local p=${d#/proc/}
        case "$tree" in *" $p "*) continue ;; esac
        grep -q "$COPY-$name/lib/$lib" "$d/maps" 2>/dev/null && shared=yes
    done
    echo "private=$([ $shared = no ] && echo yes || echo no)"
}
if [ "$MODE" = peers ]; then
    DISPLAY_NUMBER=${QS_MEMORY_DISPLAY:-$((300 + RANDOM % 100))}
    Xvfb ":$DISPLAY_NUMBER" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB=$!
    trap 'kill $XVFB 2>/dev/null' EXIT
    sleep 1
    for name in ${QS_MEMORY_PEERS:-bibletime xiphos}; do
        command -v "$name" >/dev/null || { echo "$name is not installed (apt-get install $name)"; continue; }
        if [ ! -d "$COPY-$name/lib" ]; then
            mkdir -p "$COPY-$name/lib.tmp"
            for pattern in $(peer_libs "$name"); do
                # shellcheck disable=SC2086
                cp -a /usr/lib/x86_64-linux-gnu/$pattern "$COPY-$name/lib.tmp/"
            done
            mv "$COPY-$name/lib.tmp" "$COPY-$name/lib"
        fi
        key=$(peer_libs "$name" | cut -d'*' -f1)
        list=()
        for run in $(seq 1 "$RUNS"); do
            H=$(mktemp -d)
            mkdir -p "$H/run" "$H/.bibletime" && chmod 700 "$H/run"
            printf '%s\n' '[General]' 'btconfig_api_version=1' '' '[GUI]' 'booknameLanguage=en_US' \
                'showTipAtStartup=false' '' '[sessions]' '0\name=Default Session' '0\window\0\key=John 3:1' \
                '0\window\0\maximized=true' '0\window\0\modules=engKJV2006eb' '0\window\0\writeWindowType=0' \
                '0\windowsList=0' 'currentSession=0' >"$H/.bibletime/bibletimerc"
            libs="$COPY-$name/lib"
            [ "${QS_MEMORY_PEER_COPY:-1}" = 0 ] && libs=
            env LD_LIBRARY_PATH="$libs" HOME="$H" LANG=C.utf8 XDG_RUNTIME_DIR="$H/run" \
                DISPLAY=":$DISPLAY_NUMBER" "$name" >"$H/log" 2>&1 &
            P=$!
            for _ in $(seq 1 300); do
                DISPLAY=":$DISPLAY_NUMBER" xdotool search --pid $P --name . >/dev/null 2>&1 && break
                sleep 0.1
            done
            sleep $((3 + WAIT))
            procs=$(tree_of $P)
            tp=0
            tu=0
            for p in $procs; do
                tp=$((tp + $(kib "$p" Pss)))
                tu=$((tu + $(uss "$p")))
            done
            # shellcheck disable=SC2086
            printf "%s run %d: tree %.1f MB PSS, %.1f MB USS, %d processes, %s, load %s\n" "$name" "$run" \
                "$(echo "$tp/1024" | bc -l)" "$(echo "$tu/1024" | bc -l)" "$(echo $procs | wc -w)" \
                "$([ -n "$libs" ] && peer_private "$name" "$key" $procs || echo "system libraries")" \
                "$(cut -d' ' -f1 /proc/loadavg)"
            list+=("$tp")
            kill $P 2>/dev/null
            wait $P 2>/dev/null
            rm -rf "$H"
        done
        printf '%s tree PSS: median %s\n' "$name" \
            "$(printf '%s\n' "${list[@]}" | sort -n | awk '{v[NR]=$1} END{m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2;
                printf "%.1f MB (range %.1f-%.1f, %d runs)", m/1024, v[1]/1024, v[NR]/1024, NR}')"
    done
    exit 0
fi

if [ "$MODE" = soak ]; then
    # The benchmark is the reader's own parts in one program: its renderer runs the reader's engine
    # program, as the reader's does.
    exec xvfb-run -a -s "-screen 0 1600x1000x24" env "${ENGINE_ENV[@]}" "${EXTRA[@]}" QT_QPA_PLATFORM=xcb \
        QTWEBENGINEPROCESS_PATH="$BUILD/app/quillstead-engine" QS_SOAK=1 "$BUILD/bench/app/bench_app_GoTo_bench" --benchmark_filter=soak
fi

DISPLAY_NUMBER=${QS_MEMORY_DISPLAY:-$((300 + RANDOM % 100))}
Xvfb ":$DISPLAY_NUMBER" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
trap 'kill $XVFB 2>/dev/null' EXIT
sleep 1
pss_list=()
uss_list=()
busy_list=()
# weigh LABEL: the tree's PSS and USS now, as one line; the PSS (KiB) is left in $weighed.
weigh() {
    local p tp=0 tu=0 procs
    procs=$(tree_of $P | tail -n +2)
    for p in $procs; do
        tp=$((tp + $(kib "$p" Pss)))
        tu=$((tu + $(uss "$p")))
    done
    weighed=$tp
    printf "run %d %s: tree %.1f MB PSS, %.1f MB USS, %d processes\n" "$run" "$1" "$(echo "$tp/1024" | bc -l)" \
        "$(echo "$tu/1024" | bc -l)" "$(echo $procs | wc -w)"
}
for run in $(seq 1 "$RUNS"); do
    H=$(mktemp -d)
    mkdir -p "$H/run" && chmod 700 "$H/run"
    reader() {
        env "${ENGINE_ENV[@]}" "${EXTRA[@]}" HOME="$H" XDG_RUNTIME_DIR="$H/run" XDG_CONFIG_HOME="$H/config" \
            XDG_DATA_HOME="$H/data" XDG_CACHE_HOME="$H/cache" DISPLAY=":$DISPLAY_NUMBER" QT_QPA_PLATFORM=xcb \
            "$BUILD/app/quillstead" "$@"
    }
    # The first start installs the books and quits once its verses are painted; the second is warm.
    reader --measure-startup >"$H/first.log" 2>&1
    hold=$((WAIT * 1000 + 2000))
    [ "$MODE" = used ] && hold=$((hold + (${QS_MEMORY_GOTOS:-40} + ${QS_MEMORY_IDLE:-35} + 15) * 1000))
    reader --measure-startup --measure-hold "$hold" >"$H/warm.log" 2>&1 &
    P=$!
    for _ in $(seq 1 600); do grep -q first-verses-painted "$H/warm.log" 2>/dev/null && break; sleep 0.05; done
    sleep "$WAIT"
    if [ "$MODE" = used ]; then
        books=(Genesis Exodus Psalms Isaiah Matthew John Acts Romans Hebrews Revelation)
        DISPLAY=":$DISPLAY_NUMBER" xdotool search --name Quillstead windowfocus >/dev/null 2>&1
        # The King James pane's tab (the first start's layout): its pane becomes the current one.
        DISPLAY=":$DISPLAY_NUMBER" xdotool mousemove ${QS_MEMORY_KJV_TAB:-833 119} click 1
        for i in $(seq 1 "${QS_MEMORY_GOTOS:-40}"); do
            DISPLAY=":$DISPLAY_NUMBER" xdotool key ctrl+l ctrl+a
            DISPLAY=":$DISPLAY_NUMBER" xdotool type --delay 2 "${books[$((i % 10))]} $((i % 9 + 1)):$((i % 7 + 1))"
            DISPLAY=":$DISPLAY_NUMBER" xdotool key Return
            sleep 0.3
        done
        sleep 1
        [ -n "${QS_MEMORY_SHOT:-}" ] && DISPLAY=":$DISPLAY_NUMBER" import -window root "$QS_MEMORY_SHOT" 2>/dev/null
        weigh "after ${QS_MEMORY_GOTOS:-40} go-tos"
        busy_list+=("$weighed")
        sleep "${QS_MEMORY_IDLE:-35}"
    fi
    procs=$(tree_of $P | tail -n +2)  # the reader and its children, without the shell that started it
    tp=0
    tu=0
    for p in $procs; do
        pss=$(kib "$p" Pss)
        u=$(uss "$p")
        tp=$((tp + pss))
        tu=$((tu + u))
        [ "$MODE" = detail ] || printf "  run %d %-9s %7.1f MB PSS %7.1f MB USS\n" "$run" "$(role "$p")" \
            "$(echo "$pss/1024" | bc -l)" "$(echo "$u/1024" | bc -l)"
        if [ "$MODE" = detail ]; then
            echo "== $(role "$p") $p"
            awk '/^[0-9a-f]+-/{n=$6; if(n=="")n="[anon]"} /^Pss:/{a[n]+=$2} /^Private_Dirty:/{d[n]+=$2}
                 END{for(k in a) if (a[k]>800) printf "%8d kB PSS %8d kB dirty %s\n", a[k], d[k], k}' \
                "/proc/$p/smaps" | sort -rn | head -"${TOP:-12}"
        fi
    done
    # shellcheck disable=SC2086
    printf "run %d: tree %.1f MB PSS, %.1f MB USS, %d processes, %s, load %s\n" "$run" \
        "$(echo "$tp/1024" | bc -l)" "$(echo "$tu/1024" | bc -l)" "$(echo $procs | wc -w)" "$(others $procs)" \
        "$(cut -d' ' -f1 /proc/loadavg)"
    pss_list+=("$tp")
    uss_list+=("$tu")
    wait $P 2>/dev/null
    rm -rf "$H"
    [ "$MODE" = detail ] && break
done
stats() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END{m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2;
    printf "median %.1f MB (range %.1f-%.1f, %d runs)", m/1024, v[1]/1024, v[NR]/1024, NR}'; }
[ "$MODE" = used ] && echo "tree PSS after the go-tos: $(stats "${busy_list[@]}"); after ${QS_MEMORY_IDLE:-35} s more:"
echo "tree PSS: $(stats "${pss_list[@]}"); tree USS: $(stats "${uss_list[@]}")"
