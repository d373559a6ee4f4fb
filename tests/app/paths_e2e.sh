#!/usr/bin/env bash
# kivoklok.exe in a folder whose path is longer than 260 characters, and with its task file and
# log book as symbolic links. Both are made on the Unix side: Wine 8 makes no links of its own and
# starts no program from such a folder through CreateProcess, but runs one started from here.
# Usage: paths_e2e.sh <kivoklok.exe> <wine-run.sh>
set -u
exe=$1
wine_run=$2
work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill -- -"$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

header='"Omschrijving";"Werkdirectory";"Programma";"Parameters";"Starttijd";"Frekwentie";"Dagen";"Uren";"Laatstekeer";\r\n'
own='"Eigen taak";;"eigen.bat";;"12:00";"1";"True";"False";;\r\n'
import='KIVO TAAK %s\r\n06:30\r\n1\r\nx.bat\r\nC:\\\r\n\r\n'

# Starts the program in the folder, waits for its start line, then stops it. It runs in a
# session of its own: the runner waits for Wine rather than becoming it, and a copy left running
# would answer the next start as the one instance.
run_until_started() {
    cp "$exe" "$1/kivoklok.exe"
    setsid "$wine_run" "$1/kivoklok.exe" </dev/null >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 200); do
        grep -qs "KIVO Schakelklok gestart" "$1/kivoklok.log" && break
        sleep 0.2
    done
    kill -- -"$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    # Wine's own process goes a moment later; the next start must not find it.
    for _ in $(seq 50); do
        kill -0 -- -"$pid" 2>/dev/null || break
        sleep 0.1
    done
    pid=
    grep -qs "KIVO Schakelklok gestart" "$1/kivoklok.log" || fail "no start line in $1"
}

# 1. A folder path of more than 260 characters (as Wine sees it: Z: and backslashes).
long=$work/$(printf 'l%.0s' {1..120})/$(printf 'p%.0s' {1..150})
mkdir -p "$long"
[ $(( ${#long} + 2 )) -gt 260 ] || fail "the folder is not long enough"
printf "$header$own" >"$long/kivoklok.csv"
printf "$import" lang >"$long/kivoklok.tkn"
run_until_started "$long"
grep -q "Eigen taak" "$long/kivoklok.csv" || fail "the task file was not read in the long folder"
grep -q "KIVO TAAK lang" "$long/kivoklok.csv" || fail "the import was not saved in the long folder"
[ ! -e "$long/kivoklok.tkn" ] || fail "the import file was not deleted"
[ ! -e "$(dirname "$long")/kivoklok.log" ] || fail "the program worked in the parent folder"

# 2. The task file and the log book as links into another folder, one of them relative; the
# log book's leads to a file that is not there yet.
links=$work/links
mkdir -p "$links/echt"
printf "$header$own" >"$links/echt/taken.csv"
ln -s echt/taken.csv "$links/kivoklok.csv"
ln -s "$work/logboek.log" "$links/kivoklok.log"
printf "$import" link >"$links/kivoklok.tkn"
run_until_started "$links"
[ -L "$links/kivoklok.csv" ] || fail "the task file's link was replaced by a file"
[ -L "$links/kivoklok.log" ] || fail "the log book's link was replaced by a file"
grep -q "KIVO TAAK link" "$links/echt/taken.csv" || fail "the linked task file was not written"
grep -q "Eigen taak" "$links/echt/taken.csv" || fail "the linked task file lost the user's task"
grep -q "gestart" "$work/logboek.log" || fail "the linked log book was not written"
leftover=$(find "$work" -name '*.tmp*')
[ -z "$leftover" ] || fail "temporary files left: $leftover"
echo "OK: long folder and linked files"
