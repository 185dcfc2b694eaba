#!/usr/bin/env bash
# A real print queue for the printing tests: CUPS with the cups-pdf driver, which writes
# every job as a PDF file into ~/PDF of the user who printed it. Starts cupsd when it is
# not running and adds the queue "Valmora_PDF" when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh cups printer-driver-cups-pdf

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# lpstat -r exits with 0 whether or not the scheduler runs: only its text tells.
scheduler_running() { LC_ALL=C lpstat -r 2>/dev/null | grep -q "^scheduler is running"; }
if ! scheduler_running; then
    $sudo cupsd
    for _ in $(seq 1 50); do
        scheduler_running && break
        sleep 0.2
    done
fi
if ! lpstat -p Valmora_PDF >/dev/null 2>&1; then
    $sudo lpadmin -p Valmora_PDF -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_noopt.ppd 2>&1 |
        grep -v "deprecated" || true
fi
lpstat -p Valmora_PDF
