#!/usr/bin/env bash
# Configures (once) and builds Brevan into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
# Let ccache share objects between checkouts in different folders (CI builds a fresh clone).
export CCACHE_BASEDIR="$PWD"
export CCACHE_NOHASHDIR=1
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$BUILD_DIR" -j"$(nproc)"
