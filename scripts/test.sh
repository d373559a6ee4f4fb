#!/usr/bin/env bash
# Runs every test on a fresh Debian/Ubuntu machine: native (g++), native with ASan and UBSan,
# the Windows build under Wine, and a short run of every fuzz target.
# FUZZ_SECONDS sets the length of each fuzz run (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh all
export KIVO_WERROR=${KIVO_WERROR:-ON}

step() { printf '\n==== %s ====\n' "$*"; }

step "layers: no include runs up a layer, no include loop"
python3 scripts/check-layers.py

step "native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

step "native tests with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset native-asan

step "Windows build and tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
if [ -n "${DISPLAY:-}" ]; then
    ctest --preset windows
else
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows
fi

step "fuzz targets, ${FUZZ_SECONDS:-30} s each"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ran=0
for target in build/fuzz/fuzz/*_fuzz; do
    [ -x "$target" ] || continue
    ran=$((ran + 1))
    name=$(basename "$target")
    corpus=build/fuzz/corpus/$name
    mkdir -p "$corpus"
    [ -d "fuzz/corpus/$name" ] && cp -n fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
    echo "-- $name"
    "$target" -max_total_time="${FUZZ_SECONDS:-30}" -rss_limit_mb=2048 -print_final_stats=0 \
        "$corpus" 2>&1 | tail -n 3
    # A crash makes libFuzzer exit non-zero; pipefail carries it out.
done
[ "$ran" -gt 0 ] || { echo "no fuzz targets were built" >&2; exit 1; }

step "all tests passed"
