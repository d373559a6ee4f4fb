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
