#!/usr/bin/env bash
# Installs what is missing, builds, and starts Brevan with virtual readers on loopback: two
# fixed-mount network readers, the camera, an RFID reader with pallets of tags passing, and the
# hand-held scanner on a pseudo-terminal; and a line of three fixed-mount readers reading on their
# own over a conveyor (a fifth of the labels unreadable), for the statistics page, and one more
# that uploads its images to Brevan's FTP server.
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
line_pid=""
ftp_pid=""
vservice_pid=""
cleanup() {
    for pid in $vreader_pid $line_pid $ftp_pid $vservice_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
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
    printf '%s\n' '{"sensor":[640,400],"seed":7,"conveyor":{"rate":4,"unreadable":0.2,"label":[{"symbology":"Code 128","text":"BOX-{n}","x":320,"y":200,"module":2}]}}' \
        > "$DATA/conveyor.json"
    "$BIN/brevan-vreader" --count 3 --serial LINE --address 127.0.0.10 --scene "$DATA/conveyor.json" \
        --set SCNMOD=1 --set SCNITV=250 --state "$DATA/line" > "$DATA/line.log" 2>&1 &
    line_pid=$!
    # One more reader on the conveyor uploads every read's image to Brevan's FTP server (default
    # port, user and password on both sides). Its folder is the image folder, which the disk
    # monitor keeps to the newest 30 files by the count limits of the local and FTP settings.
    mkdir -p "$DATA/Brevan" "$DATA/images"
    python3 - "$DATA/Brevan/software.ini" "$DATA/images" <<'PY'
import re, sys
path, folder = sys.argv[1], sys.argv[2]
want = {"ftp": {"dir": folder, "ftpRemoveStrategy": "1", "ftpSaveMaxCount": "30"},
        "default": {"imagePath": folder, "imageRemoveStrategy": "1", "imageSaveMaxCount": "30"}}
try:
    lines = open(path, encoding="utf-8").read().splitlines()
except FileNotFoundError:
    lines = []
out, section = [], None
for line in lines + ["[]"]:
    header = re.match(r"\s*\[(.*)\]\s*$", line)
    if header:
        out += ["%s=%s" % kv for kv in want.pop(section, {}).items()]
        section = header.group(1)
    else:
        key = line.split("=", 1)[0].strip()
        if key in want.get(section, {}):
            line = "%s=%s" % (key, want[section].pop(key))
    out.append(line)
out.pop()
for name, keys in want.items():
    out += ["[%s]" % name] + ["%s=%s" % kv for kv in keys.items()]
open(path, "w", encoding="utf-8").write("\n".join(out) + "\n")
PY
    "$BIN/brevan-vreader" --count 1 --serial FTPUP --address 127.0.0.14 --scene "$DATA/conveyor.json" \
        --set SCNMOD=1 --set SCNITV=1000 --set FTPENA=1 --state "$DATA/ftpreader" > "$DATA/ftpreader.log" 2>&1 &
    ftp_pid=$!
    export BREVAN_SCAN_ADDRESSES=${BREVAN_SCAN_ADDRESSES:-127.0.0.1-127.0.0.16}
    export BREVAN_SERIAL_PORTS_FILE="$DATA/vreaders/ptys.txt"
fi
# Brevan runs from a temporary installation, so the update offered by the stand-in service
# (the same installation with a newer VERSION file) can be installed without touching the build.
INSTALL="$DATA/installation"
APP="$BIN/brevan"
if [ -x "$BIN/brevan-vservice" ] && [ -x "$BIN/update/brevan-update" ]; then
    rm -rf "$INSTALL" "$INSTALL.previous" "$DATA/offer"
    mkdir -p "$INSTALL" "$DATA/offer"
    cp -r "$BIN/brevan" "$BIN/models" "$BIN/update" "$INSTALL/"
    cp -r "$INSTALL/." "$DATA/offer/"
    echo "V2.03.007.1" > "$DATA/offer/VERSION"
    "$BIN/brevan-vservice" --state "$DATA/vservice" --installer "$DATA/offer" > "$DATA/vservice.log" 2>&1 &
    vservice_pid=$!
    for _ in $(seq 1 100); do
        grep -qx ready "$DATA/vservice.log" 2>/dev/null && break
        kill -0 "$vservice_pid" 2>/dev/null || { echo "Update and training stand-in did not start:"; cat "$DATA/vservice.log"; vservice_pid=""; break; }
        sleep 0.1
    done
    APP="$INSTALL/brevan"
fi
export KX_DATA_PATH="$DATA"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under xvfb-run (nothing will be visible)."
    xvfb-run -a -s "-screen 0 ${BREVAN_SCREEN:-1400x900}x24" "$APP" "$@"
else
    "$APP" "$@"
fi
# After "Restart and update" the updater starts the new Brevan: keep the readers and services
# running as long as it does.
if [ -d "$INSTALL.previous" ]; then
    echo "Updated to $(cat "$INSTALL/VERSION" 2>/dev/null) in $INSTALL"
    sleep 2
    while pgrep -f "^$INSTALL/brevan" > /dev/null; do sleep 1; done
fi
