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
exec "$WINE" "$@"
