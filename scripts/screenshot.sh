#!/usr/bin/env bash
# Makes docs/screenshot.png: the main window under Wine with the edit panel open for a sample task.
# Runs in a virtual display of its own; the window is driven from outside with xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh windows >/dev/null

if [ -z "${KIVO_SHOT_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" env KIVO_SHOT_DISPLAY=1 "$0" "$@"
fi

[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build build/windows --target kivoklok >/dev/null

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp build/windows/kivoklok.exe "$work/"
printf '%s\r\n' \
    '"Omschrijving";"Werkdirectory";"Programma";"Parameters";"Starttijd";"Frekwentie";"Dagen";"Uren";"Laatstekeer";' \
    '"Back-up";"C:\Tools\";"backup.bat";"/all";"22:30";"1";"True";"False";"08-12-26";' \
    '"Opruimen";"C:\";"clean.exe";;"07:05";"2";"False";"True";;' >"$work/kivoklok.csv"

"$root/cmake/wine-run.sh" "$work/kivoklok.exe" >/dev/null 2>&1 &
pid=$!
sleep 5 # the window hides itself after two seconds; a second copy brings it back
"$root/cmake/wine-run.sh" "$work/kivoklok.exe" >/dev/null 2>&1
sleep 1
window=$(xdotool search --onlyvisible --name '^KIVO Schakelklok$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
# The client area starts below the caption and the menu, inside a 3-pixel frame.
left=$((X + 3)) top=$((Y + HEIGHT - 170 - 3))
xdotool mousemove $((left + 130)) $((top + 52)) click 1 # the first task in the list
sleep 0.3
xdotool mousemove $((left + 56)) $((top + 54)) click 1 # "Instellen"
xdotool mousemove 1000 700
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/screenshot.png
echo "docs/screenshot.png: ${WIDTH}x${HEIGHT}"
