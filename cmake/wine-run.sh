#!/usr/bin/env bash
# Runs a Windows executable under Wine in the project's private prefix.
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so every test of the windows preset goes through here.
set -u
WINE=${WINE:-/usr/lib/wine/wine64}
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${KIVO_WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No menu entries or file associations on the host for what an installer adds.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$(dirname "$WINEPREFIX")"

make_prefix() {
    [ -f "$WINEPREFIX/.kivo-ready" ] && return 0
    "$WINE" wineboot -i </dev/null >/dev/null 2>&1
    # A crashing test must fail, not wait in winedbg's dialog.
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1
    # Without a window manager, unmanaged windows close in a fraction of the time.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        </dev/null >/dev/null 2>&1
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    touch "$WINEPREFIX/.kivo-ready"
}

(
    flock 9
    make_prefix 9>&-
) 9>"$WINEPREFIX.lock"

# Keep the server off ctest's pipes so a test ends when its program does.
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1
# Wine reports a crash on stderr and may still exit 0 once its debugger has printed the trace, so
# a crash is read from the program's error output and made a failure.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
"$WINE" "$@" 2>"$errors"
status=$?
cat "$errors" >&2
if grep -q -e '^wine: Unhandled' -e '^Unhandled exception' "$errors"; then
    echo "wine-run: the program crashed" >&2
    [ "$status" -ne 0 ] || status=70
fi
exit "$status"
