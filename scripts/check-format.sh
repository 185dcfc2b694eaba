#!/usr/bin/env bash
# Checks that every C++ source of the project is laid out as .clang-format says, and names
# those that are not. To lay them out: git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh clang-format
if ! git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror; then
    echo "check-format: the files above are not laid out as .clang-format says" >&2
    exit 1
fi
