#!/usr/bin/env bash
# What watching the programs it started costs kivoklok.exe under Wine: its idle CPU and its
# thread count with 50 started programs still running, against the same program with none.
#  - both runs: the program in a folder of its own, a check asked for at once (WM_TIMECHANGE);
#    then the CPU time (user + system) of its process over IDLE_SECONDS (default 60) and its
#    threads (/proc/<pid>/status) before the check and after it.
# Results go to stdout and build/measure-runs.txt. BUILD_DIR picks another windows build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
IDLE_SECONDS=${IDLE_SECONDS:-60}
PROGRAMS=${PROGRAMS:-50}
source scripts/measure-common.sh "$@"
measure_build kivoklok kivopost
measure_start measure-runs

header='"Omschrijving";"Werkdirectory";"Programma";"Parameters";"Starttijd";"Frekwentie";"Dagen";"Uren";"Laatstekeer";'
threads() { awk '/^Threads:/ {print $2}' "/proc/$1/status"; }

# One run: prints "cpu-seconds threads-before threads-after started".
run() { # name tasks
    local dir="$work/$1" pid before after c0 c1 started minute
    mkdir -p "$dir"
    cp "$build/kivoklok.exe" "$dir/kivoklok.exe"
    minute=$(date -d '-1 min' +%H:%M)
    {
        printf '%s\r\n' "$header"
        for i in $(seq 1 "$2"); do
            printf '"Lang %02d";;"cmd.exe";"/c ping -n %d 127.0.0.1";"%s";"1";"True";"False";;\r\n' \
                "$i" $((IDLE_SECONDS + 60)) "$minute"
        done
    } >"$dir/kivoklok.csv"
    "$wine_run" "$dir/kivoklok.exe" </dev/null >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do grep -qs gestart "$dir/kivoklok.log" && break; sleep 0.2; done
    sleep 3
    # Ours by its folder: other Wine prefixes may run a kivoklok.exe as well.
    pid=
    for _ in $(seq 50); do
        for p in $(pgrep -x kivoklok.exe); do
            if tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -qF "$dir/kivoklok.exe"; then
                pid=$p
            fi
        done
        [ -n "$pid" ] && break
        sleep 0.2
    done
    [ -n "$pid" ] || { echo "no process of ours in $dir" >&2; pgrep -a kivoklok >&2; exit 1; }
    before=$(threads "$pid")
    "$wine_run" "$build/kivopost.exe" TInstelForm timechange
    for _ in $(seq 150); do
        [ "$(grep -c '(automatisch)' "$dir/kivoklok.log" || true)" -ge "$2" ] && break
        sleep 0.2
    done
    started=$(grep -c '(automatisch)' "$dir/kivoklok.log" || true)
    sleep 5
    after=$(threads "$pid")
    c0=$(cpu_ticks "$pid")
    sleep "$IDLE_SECONDS"
    c1=$(cpu_ticks "$pid")
    echo "$(calc "($c1 - $c0) / $(getconf CLK_TCK)") $before $after $started"
    WINEPREFIX=$WINEPREFIX /usr/lib/wine/wine64 taskkill /f /im kivoklok.exe >/dev/null 2>&1 || true
    WINEPREFIX=$WINEPREFIX /usr/lib/wine/wine64 taskkill /f /im ping.exe >/dev/null 2>&1 || true
    sleep 1
}

read -r idle_cpu idle_t0 idle_t1 _ < <(run none 0)
read -r busy_cpu busy_t0 busy_t1 busy_started < <(run busy "$PROGRAMS")
echo "kivoklok over $IDLE_SECONDS s of idle time:"
printf '  with no started program running: CPU %.2f s, threads %s before the check, %s after\n' \
    "$idle_cpu" "$idle_t0" "$idle_t1"
printf '  with %s started programs running: CPU %.2f s, threads %s before the check, %s after\n' \
    "$busy_started" "$busy_cpu" "$busy_t0" "$busy_t1"
