#!/usr/bin/env bash
# Builds pxsql, quillmere-cli and the engine's tests for 64-bit Windows into build-windows/
# (cmake --preset windows-cross, mingw-w64) and runs the tests under Wine when it is installed.
# The test of a conversion by quillmere-cli.exe compares it with the Linux build's in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset windows-cross "${launcher[@]}" >/dev/null
cmake --build --preset windows-cross -j"$(nproc)"
if ! command -v wine >/dev/null; then
  echo "Wine is not installed: the Windows build is not tested"
  exit 0
fi
# A Wine prefix of the build's own, made once before the tests start side by side.
export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1
# The prefix's server and Wine's own processes (services, devices) are started here, holding no
# test's output: started by the first test that runs Wine, they would keep that test's output
# open, and CTest waiting on it, until the last test ends. The server stays 10 seconds after the
# last Wine program; one still running from a run before (which refuses a second) will do.
wineserver -p 10 </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1
ctest --preset windows-cross -j"$(nproc)"
