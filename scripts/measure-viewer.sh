#!/usr/bin/env bash
# The log viewer under Wine (tests/ui/viewer_measure.cpp), for an empty log, logs of 1, 10 and
# 100 MB and a log of one 20 MB line: one plain read of the file; open to first paint with the
# newest line shown; the wait of the main window's questions asked one second after opening; the
# open viewer's memory.
# Targets: first paint within 2x of the read (beyond the window's own cost, see the empty log),
# every question within 500 ms, memory about the file's size plus 8 bytes a line.
# SIZES overrides the list of logs ("kind:megabytes", kind lines, line or empty); results go to
# stdout and build/measure-viewer.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
SIZES=${SIZES:-"empty:0 lines:1 lines:10 lines:100 line:20"}
# Installs the tools, re-runs this script in a virtual display when needed, builds.
source scripts/measure-common.sh "$@"
measure_build viewer_measure
measure_start measure-viewer
for size in $SIZES; do
    # One process per log, so that each one's memory peak is its own.
    "$wine_run" "$build/tests/ui/viewer_measure.exe" "${size%%:*}" "${size##*:}"
done
