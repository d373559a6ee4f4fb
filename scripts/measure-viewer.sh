#!/usr/bin/env bash
# The log viewer on a large log under Wine (tests/ui/viewer_measure.cpp): the time until the
# viewer holds all of it against reading the file and handing it once to a bare rich edit (and to
# a bare edit control), and the longest wait of a message sent to a main window meanwhile.
# Target: within 2x of the bare rich edit, no wait above 250 ms.
# MEGABYTES sets the log's size (default 10); results go to stdout and build/measure-viewer.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
MEGABYTES=${MEGABYTES:-10}
bash scripts/install-deps.sh windows >/dev/null

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

build=${BUILD_DIR:-build/windows}
if [ "$build" = build/windows ]; then
    [ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
fi
cmake --build "$build" --target viewer_measure >/dev/null
"$root/cmake/wine-run.sh" "$build/tests/ui/viewer_measure.exe" "$MEGABYTES" |
    tee "$root/build/measure-viewer.txt"
