#!/usr/bin/env bash
# Builds kivoklok.exe when needed and starts it under Wine in run/, the program's own folder beside
# the build: its task file kivoklok.csv and its log book kivoklok.log land there. Without a DISPLAY
# the program runs in a virtual X display (xvfb-run). Wine keeps a private prefix in
# build/wineprefix (cmake/wine-run.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh windows

[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build --preset windows --target kivoklok

mkdir -p run
# A copy that is running keeps its own file; Linux lets the new one take its name.
cp build/windows/kivoklok.exe run/kivoklok.exe.new
mv -f run/kivoklok.exe.new run/kivoklok.exe

echo "kivoklok: $root/run (kivoklok.csv, kivoklok.log); the window hides after 2 s, the tray icon brings it back"
if [ -n "${DISPLAY:-}" ]; then
    exec "$root/cmake/wine-run.sh" "$root/run/kivoklok.exe"
else
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$root/cmake/wine-run.sh" "$root/run/kivoklok.exe"
fi
