#!/usr/bin/env bash
# Start-up and idle cost of kivoklok.exe under Wine, against an empty Win32 program that only shows
# a window and a tray icon (tests/app/emptytray.cpp).
#  - start-up: from starting the process to the tray icon being there; kivoklok writes its start-up
#    line right after adding the icon and loading, emptytray writes a file "started" after both.
#    Median of RUNS starts each (default 9), taken in turns.
#  - idle CPU: user + system time of each process over IDLE_SECONDS (default 600) after it has
#    settled, both running side by side.
# Results go to stdout and build/measure.txt. BUILD_DIR picks another windows build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-9}
IDLE_SECONDS=${IDLE_SECONDS:-600}
# Installs the tools, re-runs this script in a virtual display when needed, builds.
source scripts/measure-common.sh "$@"
measure_build kivoklok emptytray

measure_start measure

now() { date +%s.%N; }

# Starts a copy under its own name (own mutex, own title) in a fresh folder; prints its pid.
start_copy() { # exe name folder
    mkdir -p "$3"
    cp "$1" "$3/$2"
    "$wine_run" "$3/$2" </dev/null >/dev/null 2>&1 &
    echo $!
}

# Polls with shell builtins only: forking a process per look would slow Wine down.
exec 9<> <(:)
nap() { read -r -t "$1" -u 9 _ || true; }
wait_for() { # file text
    local content
    for _ in $(seq 1 3000); do
        if [ -f "$1" ]; then
            [ -z "$2" ] && return 0
            content=""
            IFS= read -r -d '' content <"$1" 2>/dev/null || true
            [[ $content == *"$2"* ]] && return 0
        fi
        nap 0.005
    done
    return 1
}

stop_name() { /usr/lib/wine/wine64 taskkill /f /im "$1" >/dev/null 2>&1 || true; nap 0.5; }

median() { sort -g | awk '{ a[NR] = $1 } END { if (NR == 0) print "nan"; else print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# One timed start: prints the seconds from starting the process to its marker.
time_start() { # exe name marker-file marker-text run
    local dir="$work/$2-$5" t0 pid
    mkdir -p "$dir"
    t0=$(now)
    pid=$(start_copy "$1" "$2" "$dir")
    wait_for "$dir/$3" "$4" && calc "$(now) - $t0"
    stop_name "$2"
    kill "$pid" 2>/dev/null || true
}

proc_of() { pgrep -x "$1" | head -1; }

echo "Start-up to tray icon (median of $RUNS, seconds):"
# Taken in turns, so that a slow moment of the machine hits both alike.
for i in $(seq 1 "$RUNS"); do
    time_start "$build/emptytray.exe" emptymeas.exe started "" "$i" >>"$work/empty.times"
    time_start "$build/kivoklok.exe" kivomeas.exe kivoklok.log gestart "$i" >>"$work/kivo.times"
done
empty_start=$(median <"$work/empty.times")
kivo_start=$(median <"$work/kivo.times")
printf '  empty program %.3f\n  kivoklok      %.3f\n  ratio         %.2f (target 1.5)\n' \
    "$empty_start" "$kivo_start" "$(calc "$kivo_start / $empty_start")"

echo "Idle CPU over $IDLE_SECONDS s (side by side):"
pids+=("$(start_copy "$build/emptytray.exe" emptyidle.exe "$work/idle-empty")")
pids+=("$(start_copy "$build/kivoklok.exe" kivoidle.exe "$work/idle-kivo")")
sleep 10 # start-up over, the window of kivoklok hidden
empty_pid=$(proc_of emptyidle.exe)
kivo_pid=$(proc_of kivoidle.exe)
e0=$(cpu_ticks "$empty_pid")
k0=$(cpu_ticks "$kivo_pid")
sleep "$IDLE_SECONDS"
e1=$(cpu_ticks "$empty_pid")
k1=$(cpu_ticks "$kivo_pid")
hz=$(getconf CLK_TCK)
e=$(calc "($e1 - $e0) / $hz")
k=$(calc "($k1 - $k0) / $hz")
# One clock tick is the resolution; an idle program may well use less than that.
ratio=$(calc "($k1 - $k0 + 1) / ($e1 - $e0 + 1)")
printf '  empty program %.2f s\n  kivoklok      %.2f s\n  ratio         %.2f (target 1.2; +1 tick each)\n' \
    "$e" "$k" "$ratio"
stop_name kivoidle.exe
stop_name emptyidle.exe
