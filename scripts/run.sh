#!/bin/sh
# Starts the virtual controller on a pseudo-terminal, opens the tester on it (by command-line
# options, so the settings file is not rewritten) and stops the simulator when the tester
# exits. Usage: scripts/run.sh BUILD_DIR
set -eu
BUILD=${1:-build/release}
TESTER="$BUILD/ornix-tester"
SIM="$BUILD/ornix-sim"
INI="$TESTER.ini"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "ornix-tester needs a graphical display, and none is set (DISPLAY and WAYLAND_DISPLAY are empty)."
    echo "Run it from a desktop session, or on a virtual screen:  xvfb-run -a make run"
    exit 1
fi
for f in "$TESTER" "$SIM"; do
    [ -x "$f" ] || { echo "$f is missing: run 'make build' first."; exit 1; }
done

WORK=$(mktemp -d)
SIM_PID=""
cleanup() {
    [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The simulated controller starts at the rate and address the tester will use.
ini_value() {
    [ -f "$INI" ] || return 0
    awk -v key="$1" '
        /^[ \t]*\[/ { inPort = ($0 ~ /^[ \t]*\[[ \t]*[Pp][Oo][Rr][Tt][ \t]*\]/); next }
        inPort { split($0, kv, "="); k = kv[1]; gsub(/^[ \t]+|[ \t]+$/, "", k)
                 if (tolower(k) == tolower(key)) { v = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t\r]+$/, "", v); print v; exit } }
    ' "$INI"
}
BAUD=$(ini_value BaudRate)
ADDR=$(ini_value DevAddr)
case "$BAUD" in 4800|9600|19200|38400|57600|115200) ;; *) BAUD=9600 ;; esac
case "$ADDR" in ''|*[!0-9]*) ADDR=1 ;; esac
ADDR=$((ADDR % 256))   # the tester keeps the low 8 bits
[ "$ADDR" -ge 1 ] && [ "$ADDR" -le 254 ] || ADDR=1

# SIM_ARGS: further simulator options, one word each (ornix-sim --help).
# shellcheck disable=SC2086
"$SIM" --baud "$BAUD" --address "$ADDR" ${SIM_ARGS:-} >"$WORK/sim.out" 2>"$WORK/sim.err" &
SIM_PID=$!
PORT=""
for _ in $(seq 1 50); do
    PORT=$(head -n 1 "$WORK/sim.out" 2>/dev/null || true)
    [ -n "$PORT" ] && break
    kill -0 "$SIM_PID" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$PORT" ]; then
    echo "ornix-sim did not start:"; cat "$WORK/sim.err"
    exit 1
fi

echo "ornix-sim answers on $PORT; opening ornix-tester --port $PORT --baud $BAUD --address $ADDR"
status=0
# The simulator's port is given for this run only: the settings file keeps the engineer's own.
"$TESTER" --port "$PORT" --baud "$BAUD" --address "$ADDR" || status=$?
# Qt's own words for a display that is set but has no server behind it send people the wrong way.
case "${DISPLAY:-}" in
    :*) n=${DISPLAY#:}; n=${n%%.*}
        if [ "$status" -ne 0 ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ ! -S "/tmp/.X11-unix/X$n" ]; then
            echo "No X server runs on display $DISPLAY (DISPLAY is stale)."
            echo "Run it from a desktop session, or on a virtual screen:  xvfb-run -a make run"
        fi ;;
esac
exit "$status"
