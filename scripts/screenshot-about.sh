#!/usr/bin/env bash
# The README's picture of the information window mid-scroll: docs/about.png, cropped to the window.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh windows >/dev/null

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build --preset windows --target about_measure >/dev/null

"$root/cmake/wine-run.sh" cmd /c exit
"$root/cmake/wine-run.sh" build/windows/about_measure.exe scroll 12 </dev/null >/dev/null 2>&1 &
pid=$!
window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --name '^Informatie$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the information window did not appear" >&2; exit 1; }
sleep "${SHOT_AFTER:-4.6}" # the product name near the top, the address below it
eval "$(xdotool getwindowgeometry --shell "$window")"
# Wine draws the frame itself (unmanaged): the X window is the whole outer window.
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/about.png
echo "docs/about.png: ${WIDTH}x${HEIGHT}"
wait "$pid"
