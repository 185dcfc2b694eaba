#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Valmora need.
# Does nothing when they are all installed already.
set -euo pipefail

# fonts-liberation2: the report's "Courier New" and "Arial" with their metrics;
# poppler-utils: the tests read the report's PDF files back.
packages=(cmake ninja-build g++ qt6-base-dev qt6-translations-l10n libgtest-dev fonts-dejavu-core fonts-liberation2
    poppler-utils "$@")

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
