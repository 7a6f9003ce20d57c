#!/usr/bin/env bash
# Installs what is missing, builds, and starts Brevan with virtual readers on loopback.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
BIN="$PWD/${BUILD_DIR:-build}/bin"
DATA=${KX_DATA_PATH:-$HOME/.local/share/Brevan-demo}
mkdir -p "$DATA"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
if [ -x "$BIN/brevan-vreader" ]; then
    # Two fixed-mount readers, the hand-held scanner on a pseudo-terminal and the camera.
    "$BIN/brevan-vreader" --demo --state "$DATA/vreaders" > "$DATA/vreaders.log" 2>&1 &
    pids+=($!)
    export BREVAN_SCAN_ADDRESSES=${BREVAN_SCAN_ADDRESSES:-127.0.0.1/8}
    export BREVAN_SERIAL_PORTS_FILE="$DATA/vreaders/ptys.txt"
fi
export KX_DATA_PATH="$DATA"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under xvfb-run (nothing will be visible)."
    xvfb-run -a "$BIN/brevan"
else
    "$BIN/brevan"
fi
