#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this machine lacks.
# Usage: scripts/install-deps.sh [native|windows|all]   (default: all)
set -euo pipefail
what=${1:-all}

native=(cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev clang-14 libclang-rt-14-dev clang-format)
windows=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 fonts-wine xvfb xauth googletest wixl zip faketime)
case $what in
    native) want=("${native[@]}") ;;
    windows) want=("${windows[@]}" x11-utils imagemagick xdotool) ;;
    *) want=("${native[@]}" "${windows[@]}") ;;
esac

missing=()
for pkg in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
