#!/usr/bin/env bash
# Builds EPANET for the cross-checks from the sources beside the project (../shared/peers),
# outside the project tree, and prints the path of its runepanet. Prints nothing and exits 1
# where the sources are not there: the cross-checks are then skipped, each saying so.
#   scripts/build-epanet.sh [BUILD_DIR]   default /tmp/epanet-build
set -euo pipefail
cd "$(dirname "$0")/.."

sources=../shared/peers/epanet-2.3.5
build=${1:-/tmp/epanet-build}
if [ ! -f "$sources/CMakeLists.txt" ]; then
    echo "build-epanet: no EPANET sources at $sources" >&2
    exit 1
fi
if [ ! -x "$build/bin/runepanet" ]; then
    cmake -S "$sources" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target runepanet >/dev/null
fi
echo "$build/bin/runepanet"
