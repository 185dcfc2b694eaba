#!/usr/bin/env bash
# Installs what is needed, builds, and starts Valmora on the bundled example project.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
exec ./build/app/valmora data/esempio.vlm "$@"
