#!/usr/bin/env bash
# Start-up of kivoklok.exe under Wine with a task file of 10, 10,000 and 50,000 tasks, as a user
# starts it: from starting the process to its start-up line in the log book, with an import file
# of one managed task waiting, so that the start-up also merges and saves the whole list.
# Median of RUNS starts each (default 3). Results go to stdout and build/measure-load.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-3}
source scripts/measure-common.sh "$@"
measure_build kivoklok
measure_start measure-load

now() { date +%s.%N; }
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# A task file of n daily tasks, in no order, that ran today and are due at 23:00 or later.
task_file() { # n file
    local today
    today=$(date +%d-%m-%y)
    {
        printf '"Omschrijving";"Werkdirectory";"Programma";"Parameters";"Starttijd";"Frekwentie";"Dagen";"Uren";"Laatstekeer";\r\n'
        awk -v n="$1" -v d="$today" 'BEGIN {
            for (i = 0; i < n; ++i)
                printf "\"Taak %06d\";\"C:\\\\Werk\";\"prog%d.exe\";;\"23:%02d\";\"1\";\"True\";\"False\";\"%s\";\r\n",
                    (i * 7919) % n, i % 97, i % 60, d }'
    } >"$2"
}

for n in 10 10000 50000; do
    : >"$work/times-$n"
    for i in $(seq 1 "$RUNS"); do
        dir="$work/load-$n-$i"
        mkdir -p "$dir"
        cp "$build/kivoklok.exe" "$dir/kivoload.exe"
        task_file "$n" "$dir/kivoklok.csv"
        printf 'KIVO TAAK meting\r\n23:30\r\n1\r\nmeting.exe\r\nC:\\Werk\r\n' >"$dir/kivoklok.tkn"
        t0=$(now)
        "$wine_run" "$dir/kivoload.exe" </dev/null >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 1 12000); do
            grep -q gestart "$dir/kivoklok.log" 2>/dev/null && break
            sleep 0.01
        done
        calc "$(now) - $t0" >>"$work/times-$n"
        grep -q "Instelling opslaan" "$dir/kivoklok.log" || echo "  (run $i of $n tasks: no save)"
        saved=$(($(wc -l <"$dir/kivoklok.csv") - 1))
        [ "$saved" -eq $((n + 1)) ] || echo "  (run $i of $n tasks: $saved tasks saved)"
        /usr/lib/wine/wine64 taskkill /f /im kivoload.exe >/dev/null 2>&1 || true
        wait "$pid" 2>/dev/null || true
    done
done
echo "Start-up to its start-up line, with an import merged and saved (median of $RUNS, seconds):"
for n in 10 10000 50000; do
    printf '  %6d tasks  %.2f\n' "$n" "$(median <"$work/times-$n")"
done
printf '  ratio 10,000 / 10: %.2f (target 2)\n' \
    "$(calc "$(median <"$work/times-10000") / $(median <"$work/times-10")")"
