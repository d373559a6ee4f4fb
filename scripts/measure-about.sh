#!/usr/bin/env bash
# CPU cost of the information window's scrolling under Wine: user + system time of the process
# over OPEN_SECONDS (default 30) with the credits scrolling, against the same window with the panel
# inactive (tests/ui/about_measure.cpp). Both run side by side, so that a slow moment of the
# machine hits both alike. Results go to stdout and build/measure-about.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
OPEN_SECONDS=${OPEN_SECONDS:-30}
# Installs the tools, re-runs this script in a virtual display when needed, builds.
source scripts/measure-common.sh "$@"
measure_build about_measure

measure_start measure-about


# Own names, so that each process can be found (and at most 15 characters: the kernel's limit).
cp "$build/about_measure.exe" "$work/aboutscroll.exe"
cp "$build/about_measure.exe" "$work/aboutstill.exe"
total=$((OPEN_SECONDS + 8))
"$wine_run" "$work/aboutscroll.exe" scroll "$total" </dev/null >/dev/null 2>&1 &
pids+=($!)
"$wine_run" "$work/aboutstill.exe" still "$total" </dev/null >/dev/null 2>&1 &
pids+=($!)
sleep 5 # shown and settled
scroll_pid=$(pgrep -x aboutscroll.exe | head -1)
still_pid=$(pgrep -x aboutstill.exe | head -1)
s0=$(cpu_ticks "$scroll_pid")
t0=$(cpu_ticks "$still_pid")
sleep "$OPEN_SECONDS"
s1=$(cpu_ticks "$scroll_pid")
t1=$(cpu_ticks "$still_pid")
hz=$(getconf CLK_TCK)
echo "CPU time over $OPEN_SECONDS s with the information window open:"
printf '  panel inactive   %.2f s\n  credits scroll   %.2f s (%.1f %% of one core)\n' \
    "$(calc "($t1 - $t0) / $hz")" "$(calc "($s1 - $s0) / $hz")" \
    "$(calc "100 * ($s1 - $s0) / $hz / $OPEN_SECONDS")"
# One clock tick is the resolution; a window that only waits may well use less than that.
printf '  ratio            %.1f (+1 tick each)\n' "$(calc "($s1 - $s0 + 1) / ($t1 - $t0 + 1)")"
steps=$((OPEN_SECONDS * 1000 / 30))
printf '  per step         %.3f ms (about %d steps of 30 ms plus the drawing)\n' \
    "$(calc "1000 * ($s1 - $s0 - $t1 + $t0) / $hz / $steps")" "$steps"
wait "${pids[@]}" # they close themselves; a bare wait would wait for tee as well
