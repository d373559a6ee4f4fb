#!/usr/bin/env bash
# The log viewer on a large log under Wine (tests/ui/viewer_measure.cpp): the time until the
# viewer holds all of it against reading the file and handing it once to a bare rich edit (and to
# a bare edit control), and the longest wait of a message sent to a main window meanwhile.
# Target: within 2x of the bare rich edit, no wait above 250 ms.
# MEGABYTES sets the log's size (default 10); results go to stdout and build/measure-viewer.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
MEGABYTES=${MEGABYTES:-10}
# Installs the tools, re-runs this script in a virtual display when needed, builds.
source scripts/measure-common.sh "$@"
measure_build viewer_measure
"$root/cmake/wine-run.sh" "$build/tests/ui/viewer_measure.exe" "$MEGABYTES" |
    tee "$root/build/measure-viewer.txt"
