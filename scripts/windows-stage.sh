#!/usr/bin/env bash
# The Windows stage: cross-builds the DLL and its tests with Debian's mingw-w64
# and runs every test under Wine, in a fresh Wine prefix inside the build
# folder. Every Wine step is bounded in time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build/windows"
jobs=$(nproc)
(( jobs > 2 )) && jobs=2
started=$(date +%s)

"$root/scripts/install-deps.sh" --tests g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64

# Debian's wine64 package puts no wine64 on the PATH.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX="$dir/wineprefix"
export HOME="${HOME:-$dir}"  # Wine keeps per-user files under HOME
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or browser engine installers
unset DISPLAY WAYLAND_DISPLAY

stop_wine() { timeout 30 "$wineserver" -k >/dev/null 2>&1 || true; }
finish() {
  stop_wine
  echo "=== windows: stage took $(( $(date +%s) - started )) s" >&2
}
trap finish EXIT

echo "=== windows: configure and build" >&2
cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQVX_BUILD_TESTS=ON -DQVX_BUILD_TOOLS=OFF -DQVX_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$jobs" >/dev/null

echo "=== windows: fresh Wine prefix" >&2
stop_wine
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# One server for the whole stage, so each test program starts quickly. Wine's
# background services inherit the standard streams of the first Wine process:
# with ctest's pipes among them ctest would wait for them forever.
timeout 60 "$wineserver" -p </dev/null >/dev/null 2>&1
timeout 180 "$wine" wineboot --init </dev/null >/dev/null 2>&1

echo "=== windows: tests under Wine" >&2
# Windows programs end their lines with CR LF.
(cd "$dir" && timeout 900 ctest --output-on-failure --timeout 300 -j"$jobs") 2>&1 | tr -d '\r'
