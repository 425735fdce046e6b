# Sourced by the benchmarks that run the three readers side by side (memory_alone.sh,
# startup_screens.sh): each reader on a private copy of its toolkit libraries, so that no other
# program shares their pages, and each on an X display of its own. The caller sets COPY (the
# reader's Qt copy; a peer's goes beside it as COPY-<reader>) and declares the associative arrays
# XVFB_OF and DISPLAY_OF.

qtq() { qtpaths6 --query "$1" 2>/dev/null || qmake6 -query "$1"; }

# The reader's copy of Qt and of the web engine's resources, made once.
make_qt_copy() {
    [ -e "$COPY/complete" ] && return
    echo "making the private Qt copy in $COPY" >&2
    mkdir -p "$COPY/lib" "$COPY/resources" "$COPY/locales"
    cp -a "$(qtq QT_INSTALL_LIBS)"/libQt6*.so* "$COPY/lib/"
    cp -a "$(qtq QT_INSTALL_DATA)"/resources/. "$COPY/resources/"
    cp -a "$(qtq QT_INSTALL_TRANSLATIONS)"/qtwebengine_locales/. "$COPY/locales/"
    touch "$COPY/complete"
}

peer_libs() {
    case $1 in
    bibletime) echo 'libQt5*.so* libsword*.so* libclucene*.so*' ;;
    xiphos) echo 'libwebkit2gtk-4.0.so* libjavascriptcoregtk-4.0.so* libgtk-3.so* libgdk-3.so* libsword*.so*' ;;
    esac
}

# make_peer_copy READER: a peer's copy of its libraries in COPY-READER/lib, made once.
make_peer_copy() {
    local r=$1 pattern
    [ "$r" = quillstead ] || [ -d "$COPY-$r/lib" ] && return
    mkdir -p "$COPY-$r/lib.tmp"
    for pattern in $(peer_libs "$r"); do
        # shellcheck disable=SC2086
        cp -a /usr/lib/x86_64-linux-gnu/$pattern "$COPY-$r/lib.tmp/"
    done
    mv "$COPY-$r/lib.tmp" "$COPY-$r/lib"
}

# start_display READER FIRST: an Xvfb on the first free display from FIRST, in DISPLAY_OF[READER]
# with its process in XVFB_OF[READER]; returns once the display answers.
start_display() {
    local r=$1 n=$2
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_OF[$r]=$!
    DISPLAY_OF[$r]=":$n"
    for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
}
