#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Valmora need.
# Does nothing when they are all installed already.
set -euo pipefail

# fonts-liberation2: the report's "Courier New" and "Arial" with their metrics;
# poppler-utils: the tests read the report's PDF files back; qpdf: they check the structure of the PDF files
# written (the cross-reference table moved when the document's author and subject are added);
# locales: the Italian locale, in which the system gives its reasons for a failed write;
# qt6-charts-dev (with libqt6opengl6-dev, which its CMake files ask for): the chart of the supply
# and demand curves; libeigen3-dev: the sparse factorisation of the network solver.
packages=(cmake ninja-build g++ qt6-base-dev qt6-translations-l10n libgtest-dev fonts-dejavu-core fonts-liberation2
    poppler-utils qpdf locales qt6-charts-dev libqt6opengl6-dev libeigen3-dev "$@")

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Italian locale, made once.
if ! locale -a 2>/dev/null | grep -qi '^it_IT\.utf-\?8$'; then
    $sudo sed -i 's/^# *\(it_IT.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    $sudo locale-gen >/dev/null
fi
