#!/usr/bin/env bash
# Prints every window's controls and a hash of its pixels at 96, 120 and 144 DPI, each the system
# DPI of a Wine prefix kept for this (build/dumpprefix), so that two builds can be compared:
#   scripts/layout-dump.sh [build folder] > dump.txt
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
export KIVO_WINEPREFIX=${KIVO_DUMP_PREFIX:-$PWD/build/dumpprefix}
export WINEPREFIX=$KIVO_WINEPREFIX
run() { cmake/wine-run.sh "$@"; }
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
for dpi in 96 120 144; do
    run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true # the new DPI takes a fresh server
    /usr/lib/wine/wineserver64 -w 2>/dev/null || true
    run "$build/tests/ui/layout_dump.exe"
done
