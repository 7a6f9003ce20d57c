#!/usr/bin/env bash
# Installs what is missing, builds, and starts Brevan with virtual readers on loopback: two
# fixed-mount network readers, the camera, and the hand-held scanner on a pseudo-terminal.
# Discovery is limited to loopback. Closing Brevan stops the readers started here.
# Arguments are passed on to Brevan (for example --exit-after 8000 --grab main.png).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
BIN="$PWD/${BUILD_DIR:-build}/bin"
DATA=${KX_DATA_PATH:-$HOME/.local/share/Brevan-demo}
mkdir -p "$DATA"
vreader_pid=""
cleanup() {
    if [ -n "$vreader_pid" ]; then
        kill "$vreader_pid" 2>/dev/null || true
        wait "$vreader_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT INT TERM
if [ -x "$BIN/brevan-vreader" ]; then
    "$BIN/brevan-vreader" --demo --state "$DATA/vreaders" > "$DATA/vreaders.log" 2>&1 &
    vreader_pid=$!
    # The pty list must exist before Brevan reads it.
    for _ in $(seq 1 100); do
        grep -qx ready "$DATA/vreaders.log" 2>/dev/null && break
        kill -0 "$vreader_pid" 2>/dev/null || { cat "$DATA/vreaders.log"; exit 1; }
        sleep 0.1
    done
    export BREVAN_SCAN_ADDRESSES=${BREVAN_SCAN_ADDRESSES:-127.0.0.1-127.0.0.16}
    export BREVAN_SERIAL_PORTS_FILE="$DATA/vreaders/ptys.txt"
fi
export KX_DATA_PATH="$DATA"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under xvfb-run (nothing will be visible)."
    xvfb-run -a -s "-screen 0 ${BREVAN_SCREEN:-1400x900}x24" "$BIN/brevan" "$@"
else
    "$BIN/brevan" "$@"
fi
