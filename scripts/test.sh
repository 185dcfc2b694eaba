#!/usr/bin/env bash
# Installs what is needed, builds and runs every test.
#   scripts/test.sh             optimised build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
# VALMORA_WERROR=1 makes the project's own warnings errors (continuous integration does).
# Where EPANET's sources are beside the project it is built first, so that the cross-checks
# against it run; elsewhere they are skipped, each saying so.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
    build=build-sanitize
    options=(-DCMAKE_BUILD_TYPE=Debug -DVALMORA_SANITIZE=ON -DVALMORA_BUILD_BENCH=OFF)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

if [ "${VALMORA_WERROR:-}" = "1" ]; then
    options+=(-DVALMORA_WERROR=ON)
fi

bash scripts/install-packages.sh
if [ -z "${VALMORA_EPANET:-}" ] && epanet=$(bash scripts/build-epanet.sh); then
    export VALMORA_EPANET=$epanet
fi
cmake -S . -B "$build" -G Ninja "${options[@]}" >/dev/null
cmake --build "$build"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j "$(nproc)"
