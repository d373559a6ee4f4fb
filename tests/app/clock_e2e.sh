#!/usr/bin/env bash
# kivoklok.exe under a clock of libfaketime's: the spring change of summer time, a start-up after
# a task's window, the clock set five hours ahead while the program runs and the task is open in
# the edit panel, and what became of the
# programs it started (their codes, a run still going at the next window, the missed task run
# from the tray menu). Wine tells the program of no clock change, so the test posts
# WM_TIMECHANGE itself (kivopost.exe).
# Usage: clock_e2e.sh <kivoklok.exe> <wine-run.sh> <kivopost.exe>
set -u
exe=$1
wine_run=$2
post_exe=$3
lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
wineserver=/usr/lib/wine/wineserver64
# A prefix of its own: its server must be started by a program on the faked clock.
export KIVO_WINEPREFIX
KIVO_WINEPREFIX=$(cd "$(dirname "$exe")" && pwd)/wineprefix-clock
work=$(mktemp -d)
pid=
fail() {
    echo "FAIL: $*"
    [ -f "$dir/kivoklok.log" ] && sed 's/^/  log: /' "$dir/kivoklok.log"
    exit 1
}
stop() {
    if [ -n "$pid" ]; then
        kill -- -"$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        pid=
    fi
    WINEPREFIX=$KIVO_WINEPREFIX "$wineserver" -k 2>/dev/null
    sleep 0.5
}
cleanup() {
    stop
    rm -rf "$work"
}
trap cleanup EXIT
[ -f "$lib" ] || fail "libfaketime is missing (Debian package faketime)"

export TZ=Europe/Amsterdam DONT_FAKE_MONOTONIC=1 NO_FAKE_STAT=1 FAKETIME_NO_CACHE=1
export FAKETIME_TIMESTAMP_FILE=$work/clock
# The faked clock shows this local time now; it runs on from there.
set_clock() {
    local want now
    want=$(date -d "TZ=\"Europe/Amsterdam\" $1" +%s)
    now=$(date +%s)
    printf '%+ds\n' $((want - now)) >"$FAKETIME_TIMESTAMP_FILE"
}
# The prefix first, on the real clock.
echo "+0s" >"$FAKETIME_TIMESTAMP_FILE"
"$wine_run" "$post_exe" >/dev/null 2>&1
stop

header='"Omschrijving";"Werkdirectory";"Programma";"Parameters";"Starttijd";"Frekwentie";"Dagen";"Uren";"Laatstekeer";\r\n'
# A folder with the program and one task "<name>" at <time>, last run <date>, whose program
# leaves <name>.txt.
prepare() {
    dir=$work/$1
    mkdir -p "$dir"
    cp "$exe" "$dir/kivoklok.exe"
    local windir
    windir="Z:$(echo "$dir" | tr / '\\')\\"
    printf "@echo gestart> %s.txt\r\n" "$2" >"$dir/$2.bat"
    printf "$header\"%s\";\"%s\";\"%s.bat\";;\"%s\";\"1\";\"True\";\"False\";\"%s\";\r\n" \
        "$2" "$windir" "$2" "$3" "$4" >"$dir/kivoklok.csv"
}
start() {
    # In a session of its own, from its folder (a task without a folder starts there).
    cd "$dir" || fail "no folder"
    LD_PRELOAD=$lib setsid "$wine_run" "$dir/kivoklok.exe" </dev/null >/dev/null 2>&1 &
    pid=$!
    cd - >/dev/null || true
    wait_log "KIVO Schakelklok gestart" 60 || fail "no start line"
}
count() {
    local n
    n=$(grep -c -F -- "$1" "$dir/kivoklok.log" 2>/dev/null)
    echo "${n:-0}"
}
wait_log() { # text, seconds
    for _ in $(seq $(($2 * 5))); do
        [ "$(count "$1")" -gt 0 ] && return 0
        sleep 0.2
    done
    return 1
}
tell_clock_changed() {
    LD_PRELOAD=$lib "$wine_run" "$post_exe" TInstelForm timechange >/dev/null 2>&1 ||
        fail "no window to tell"
}
post() { LD_PRELOAD=$lib "$wine_run" "$post_exe" "$@" >/dev/null 2>&1; }

# 1. Spring: at 02:00 the clock goes to 03:00; the 02:30 task starts once, at the first tick
#    after the change, and is not noted missed.
prepare spring Lente 02:30 27-03-27
set_clock "2027-03-28 01:59:00"
start
grep -q "\[28-03-27\] \[01:59\] KIVO Schakelklok gestart" "$dir/kivoklok.log" ||
    fail "the start-up came too late for the test"
sleep 65 # 03:00:05 on the faked clock
tell_clock_changed
wait_log 'Taak "Lente" (automatisch)' 20 || fail "the skipped task did not start"
for _ in $(seq 50); do [ -f "$dir/Lente.txt" ] && break; sleep 0.2; done
[ -f "$dir/Lente.txt" ] || fail "its program did not run"
tell_clock_changed
sleep 2
[ "$(count 'Taak "Lente" (automatisch)')" -eq 1 ] || fail "started more than once"
[ "$(count 'gemist')" -eq 0 ] || fail "noted missed"
[ "$(count 'Klok verzet')" -eq 0 ] || fail "summer time taken for a correction"
grep -q '\[28-03-27\] \[03:0.\] Taak "Lente" (automatisch)' "$dir/kivoklok.log" ||
    fail "not started just after 03:00"
stop

# 2. Started at 09:30: the 08:00 task it missed is noted after the start line, and once only,
#    also after another start.
prepare late Acht 08:00 09-06-27
set_clock "2027-06-10 09:30:00"
start
wait_log 'Taak "Acht" gemist (gepland 10-06-27 08:00)' 10 || fail "the missed 08:00 not noted"
[ "$(grep -n 'gemist' "$dir/kivoklok.log" | cut -d: -f1)" -gt \
  "$(grep -n 'gestart' "$dir/kivoklok.log" | cut -d: -f1)" ] || fail "noted before the start line"
stop
start
sleep 2
[ "$(count 'gemist (gepland 10-06-27 08:00)')" -eq 1 ] || fail "noted again after a restart"
stop

# 3. The clock set five hours ahead while the program runs and the task is open in the edit
#    panel ("Instellen"): the correction is noted at once; the 11:00 task's window, which the
#    jump passed over, once the panel is closed with OK.
prepare jump Middag 11:00 09-06-27
set_clock "2027-06-10 09:00:00"
start
post TInstelForm command 301 || fail "no panel" # "Instellen" on the only task
sleep 1
set_clock "2027-06-10 14:00:30"
tell_clock_changed
wait_log 'Klok verzet van 10-06-27 09:0' 20 || fail "the correction not noted"
sleep 1
[ "$(count 'gemist')" -eq 0 ] || fail "the task in the panel noted while open"
post TInstelForm command 1 || fail "no OK" # Enter: the panel's OK, nothing changed
tell_clock_changed
wait_log 'Taak "Middag" gemist (gepland 10-06-27 11:00)' 10 || fail "the missed 11:00 not noted"
grep -q 'naar 10-06-27 14:0' "$dir/kivoklok.log" || fail "the correction's new time"
[ ! -f "$dir/Middag.txt" ] || fail "started after its window"
stop

# 4. What became of the started programs: a code of 3 noted as such; an hourly task whose run
#    still goes at its next slot gets the "draait nog" note before its start; the task missed
#    before the start-up is run once from the tray menu, after its question.
dir=$work/runs
mkdir -p "$dir"
cp "$exe" "$dir/kivoklok.exe"
printf "$header%b%b%b" \
    '"Drie";;"cmd.exe";"/c exit 3";"09:59";"1";"True";"False";"09-06-27";\r\n' \
    '"Gemist";;"cmd.exe";"/c exit 0";"07:00";"1";"True";"False";"09-06-27";\r\n' \
    '"Lang";;"cmd.exe";"/c ping -n 300 127.0.0.1";"10:00";"1";"False";"True";"09-06-27";\r\n' \
    >"$dir/kivoklok.csv"
set_clock "2027-06-10 10:00:20"
start
wait_log 'Taak "Gemist" gemist (gepland 10-06-27 07:00)' 10 || fail "the missed 07:00 not noted"
tell_clock_changed
wait_log 'Taak "Drie" klaar: code 3, duur 0:00:0' 30 || fail "no note of the code 3"
[ "$(count 'Taak "Lang" (automatisch)')" -eq 1 ] || fail "the long task did not start"
set_clock "2027-06-10 11:00:30"
tell_clock_changed
wait_log 'Taak "Lang" draait nog sinds 10-06-27 10:00' 20 || fail "no note of the run still going"
[ "$(grep -n 'draait nog' "$dir/kivoklok.log" | cut -d: -f1)" -lt \
  "$(grep -n 'Taak "Lang" (automatisch)' "$dir/kivoklok.log" | tail -1 | cut -d: -f1)" ] ||
    fail "the note comes after the start line"
post TInstelForm command 205 # "&Gemiste taken uitvoeren"
post press "KIVO Klok - Bevestiging" 6 || fail "no question"
wait_log 'Taak "Gemist" (automatisch)' 10 || fail "the missed task did not run"
post TInstelForm command 205
sleep 2
[ "$(count 'Taak "Gemist" (automatisch)')" -eq 1 ] || fail "the missed task ran twice"
wait_log 'Taak "Gemist" klaar: code 0' 20 || fail "no note of its end"
stop
echo "clock_e2e: all passed"
