#!/usr/bin/env bash
# Fuzzes the project, graft and catalogue readers and the EPANET writer with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-fuzz/, for a bounded time.
#   scripts/fuzz.sh [SECONDS]   default 60
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
bash scripts/install-packages.sh clang libclang-rt-14-dev
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVALMORA_SANITIZE=ON -DVALMORA_FUZZ=ON -DVALMORA_BUILD_TESTS=OFF -DVALMORA_BUILD_BENCH=OFF \
    -DVALMORA_WERROR="$([ "${VALMORA_WERROR:-}" = "1" ] && echo ON || echo OFF)" >/dev/null
cmake --build build-fuzz --target valmora_reader_fuzzer -j 2

# New inputs found go to a scratch corpus; the seeds in the tree stay as they are.
work=build-fuzz/corpus
mkdir -p "$work" build-fuzz/crashes
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build-fuzz/tests/fuzz/valmora_reader_fuzzer "$work" tests/fuzz/corpus \
    -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix=build-fuzz/crashes/ -print_final_stats=1
