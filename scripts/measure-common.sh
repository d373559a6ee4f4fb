# Shared start of the measurement scripts under Wine: the tools, a virtual display and the build.
# Sourced from the repository root with the script's own arguments:
#   source scripts/measure-common.sh "$@"; measure_build <targets>
root=$PWD
bash scripts/install-deps.sh windows >/dev/null

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

build=${BUILD_DIR:-build/windows}

# Builds the given targets of the Windows build, configuring the default build folder first.
measure_build() {
    if [ "$build" = build/windows ]; then
        [ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
    fi
    cmake --build "$build" --target "$@" >/dev/null
}

# Output also to build/<name>.txt; a work folder and the background processes (in pids) are
# cleaned up at exit; the Wine prefix and server are ready before anything is timed.
measure_start() {
    exec > >(tee "$root/build/$1.txt") 2>&1
    wine_run="$root/cmake/wine-run.sh"
    export WINEPREFIX=${KIVO_WINEPREFIX:-$root/build/wineprefix}
    work=$(mktemp -d)
    pids=()
    trap measure_cleanup EXIT
    "$wine_run" cmd /c exit
}
measure_cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}

calc() { awk "BEGIN { print $* }"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; } # pid: utime + stime in clock ticks
