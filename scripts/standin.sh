#!/usr/bin/env bash
# Starts the local stand-in services (qs-standin) in the background unless they already run.
# Usage: scripts/standin.sh [start|stop|status] [extra qs-standin options]
# Environment: QS_BUILD_DIR (default build), QS_STANDIN_DATA (default ~/.local/share/qs-standin),
# QS_STANDIN_HTTP_PORT (default 17380), QS_STANDIN_SYNC_PORT (default 17300).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${QS_BUILD_DIR:-build}"
DATA="${QS_STANDIN_DATA:-${XDG_DATA_HOME:-$HOME/.local/share}/qs-standin}"
HTTP_PORT="${QS_STANDIN_HTTP_PORT:-17380}"
SYNC_PORT="${QS_STANDIN_SYNC_PORT:-17300}"
PIDFILE="$DATA/qs-standin.pid"
LOG="$DATA/qs-standin.log"
BIN="$BUILD/tools/standin-services/qs-standin"
action="${1:-start}"
[ $# -gt 0 ] && shift

running() {
  [ -f "$PIDFILE" ] && kill -0 "$(cat "$PIDFILE")" 2>/dev/null
}

case "$action" in
  status)
    if running; then echo "qs-standin runs (pid $(cat "$PIDFILE")): http=127.0.0.1:$HTTP_PORT sync=127.0.0.1:$SYNC_PORT"
    else echo "qs-standin is not running"; exit 1; fi ;;
  stop)
    if running; then kill "$(cat "$PIDFILE")"; rm -f "$PIDFILE"; echo "qs-standin stopped"; fi ;;
  start)
    if running; then echo "qs-standin already runs (pid $(cat "$PIDFILE"))"; exit 0; fi
    if [ ! -x "$BIN" ]; then echo "build qs-standin first: cmake --build $BUILD --target qs-standin" >&2; exit 1; fi
    mkdir -p "$DATA"
    nohup "$BIN" --http-port "$HTTP_PORT" --sync-port "$SYNC_PORT" --data "$DATA" "$@" >"$LOG" 2>&1 &
    echo $! >"$PIDFILE"
    # Wait for the line that says where it listens, or for it to give up.
    for _ in $(seq 1 50); do
      if grep -q "http=127.0.0.1" "$LOG" 2>/dev/null; then head -n 2 "$LOG"; exit 0; fi
      if ! running; then cat "$LOG" >&2; rm -f "$PIDFILE"; exit 1; fi
      sleep 0.1
    done
    echo "qs-standin did not report its ports; see $LOG" >&2; exit 1 ;;
  *) echo "usage: $0 [start|stop|status] [qs-standin options]" >&2; exit 2 ;;
esac
