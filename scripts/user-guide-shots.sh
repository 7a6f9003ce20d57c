#!/usr/bin/env bash
# Takes the user guide's pictures from the demo: the virtual readers on loopback and Brevan under
# xvfb-run, once per language, saved to docs/user-guide/images/<name>-<lang>.png.
#   bash scripts/user-guide-shots.sh            (after a build in build/)
#   BUILD_DIR=build-x SCREEN=1366x768 bash scripts/user-guide-shots.sh
# Every picture is a real start of the program: nothing is drawn by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN="$PWD/${BUILD_DIR:-build}/bin"
OUT=${OUT:-$PWD/docs/user-guide/images}
SCREEN=${SCREEN:-1400x900}
for p in brevan brevan-vreader; do
    [ -x "$BIN/$p" ] || { echo "missing $BIN/$p: build first" >&2; exit 1; }
done
command -v xvfb-run > /dev/null || { echo "xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 1; }
mkdir -p "$OUT"
WORK=$(mktemp -d)
vreader_pid=""
cleanup() {
    if [ -n "$vreader_pid" ]; then
        kill "$vreader_pid" 2> /dev/null || true
        wait "$vreader_pid" 2> /dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

"$BIN/brevan-vreader" --demo --state "$WORK/vreaders" > "$WORK/vreaders.log" 2>&1 &
vreader_pid=$!
for _ in $(seq 1 100); do
    grep -qx ready "$WORK/vreaders.log" 2> /dev/null && break
    kill -0 "$vreader_pid" 2> /dev/null || { cat "$WORK/vreaders.log"; exit 1; }
    sleep 0.1
done
grep -qx ready "$WORK/vreaders.log" || { echo "the virtual readers did not start" >&2; exit 1; }
# The first fixed-mount network reader of the demo: "reader: <serial> <model> <ip>:<port> ..."
READER=$(awk '$1 == "reader:" && $3 ~ /FM/ { print $2; exit }' "$WORK/vreaders.log")
[ -n "$READER" ] || { echo "no fixed-mount reader in the demo" >&2; exit 1; }

export BREVAN_SCAN_ADDRESSES=127.0.0.1-127.0.0.16
export BREVAN_SERIAL_PORTS_FILE="$WORK/vreaders/ptys.txt"
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config"
mkdir -p "$HOME"

# shot <name> <lang> <wait ms> [brevan options...]
shot() {
    local name=$1 lang=$2 wait=$3
    shift 3
    local data="$WORK/data-$lang"
    mkdir -p "$data/Brevan"
    [ -f "$data/Brevan/software.ini" ] || printf '[default]\nlanguage=%s\n' "$lang" > "$data/Brevan/software.ini"
    local file="$OUT/$name-${lang%_cn}.png"
    KX_DATA_PATH="$data" xvfb-run -a -s "-screen 0 ${SCREEN}x24" \
        "$BIN/brevan" --exit-after "$wait" --grab "$file" "$@" > "$WORK/brevan.log" 2>&1 || {
        cat "$WORK/brevan.log" >&2
        exit 1
    }
    [ -s "$file" ] || { echo "no picture for $name" >&2; exit 1; }
    echo "$file"
}

for lang in en zh_cn; do
    shot main "$lang" 6000
    shot details "$lang" 6000 --select "$READER"
    shot advanced "$lang" 12000 --select "$READER" --open advanced
done
