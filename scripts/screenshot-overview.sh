#!/usr/bin/env bash
# Makes docs/overview.png: the task overview under Wine, for a few sample tasks whose log tells of
# varied results. The program is started in a folder of its own and told to open the overview.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh windows >/dev/null

if [ -z "${KIVO_SHOT_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" env KIVO_SHOT_DISPLAY=1 "$0" "$@"
fi

[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build build/windows --target kivoklok kivopost >/dev/null

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp build/windows/kivoklok.exe "$work/"
today=$(date +%d-%m-%y) yesterday=$(date -d yesterday +%d-%m-%y)
week=$(date -d '9 days ago' +%d-%m-%y)
printf '%s\r\n' \
    '"Omschrijving";"Werkdirectory";"Programma";"Parameters";"Starttijd";"Frekwentie";"Dagen";"Uren";"Laatstekeer";' \
    "\"Back-up\";\"C:\\Tools\\\";\"backup.bat\";\"/all\";\"22:30\";\"1\";\"True\";\"False\";\"$yesterday\";" \
    "\"Opruimen\";\"C:\\\";\"clean.exe\";;\"07:05\";\"2\";\"False\";\"True\";\"$yesterday\";" \
    "\"Rapport maken\";\"C:\\Rapport\\\";\"rapport.exe\";;\"23:45\";\"1\";\"True\";\"False\";\"$yesterday\";" \
    "\"Synchroniseren\";\"C:\\Sync\\\";\"sync.exe\";;\"23:50\";\"1\";\"True\";\"False\";\"$yesterday\";" \
    "\"Weekoverzicht\";\"C:\\Rapport\\\";\"week.exe\";;\"00:30\";\"7\";\"True\";\"False\";\"$week\";" \
    >"$work/kivoklok.csv"
gap='                   '
printf '%s\r\n' \
    "[$yesterday] [22:30] Taak \"Back-up\" (automatisch)${gap}C:\\Tools\\backup.bat" \
    "[$yesterday] [22:43] Taak \"Back-up\" klaar: code 0, duur 0:12:41" \
    "[$yesterday] [23:01] Taak \"Opruimen\" (automatisch)${gap}C:\\clean.exe" \
    "[$yesterday] [23:01] Taak \"Opruimen\" klaar: code 0, duur 0:00:04" \
    "[$yesterday] [23:45] Taak \"Rapport maken\" (automatisch)${gap}C:\\Rapport\\rapport.exe" \
    "[$yesterday] [23:47] Taak \"Rapport maken\" klaar: code 3, duur 0:02:10" \
    "[$yesterday] [23:50] Taak \"Synchroniseren\" (automatisch)${gap}C:\\Sync\\sync.exe" \
    "[$yesterday] [23:50] Taak \"Synchroniseren\" niet gestart: Het systeem kan het opgegeven bestand niet vinden." \
    "[$week] [00:30] Taak \"Weekoverzicht\" (automatisch)${gap}C:\\Rapport\\week.exe" \
    "[$week] [00:41] Taak \"Weekoverzicht\" klaar: code 0, duur 0:11:02" \
    >"$work/kivoklok.log"

"$root/cmake/wine-run.sh" "$work/kivoklok.exe" >/dev/null 2>&1 &
pid=$!
sleep 4
"$root/cmake/wine-run.sh" build/windows/kivopost.exe TInstelForm command 105 # "&Overzicht"
window=""
for _ in $(seq 1 50); do
    window=$(xdotool search --onlyvisible --name '^Taakoverzicht$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the overview did not appear" >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
# Wine draws the frame itself (unmanaged): the X window is the whole outer window.
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/overview.png
echo "docs/overview.png: ${WIDTH}x${HEIGHT}"
