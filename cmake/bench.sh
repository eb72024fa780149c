#!/bin/sh
# Runs the benchmark in the test prefix of the build folder ($1) and prints
# its table. Figures only: nothing passes or fails on them.
set -e
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
prefix=$build/wine-test
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Sizes are those of stripped copies; the build's own files stay as built.
copies=$build/stripped
mkdir -p "$copies"
for f in Tolvane.exe Varrowen.dll bare.exe; do
    i686-w64-mingw32-strip -o "$copies/$f" "$build/bin/$f"
done
size() { stat -c %s "$copies/$1"; }

# The server, Wine's services and the benchmark share one processor, as in
# the tests (see wine.sh); the server is restarted so that it is there too.
"$here/wineserver.sh" stop "$prefix"
"$here/wineserver.sh" start "$prefix"
trap '"$here/wineserver.sh" stop "$prefix"' EXIT
"$here/wine.sh" "$build/bin/tolvane_bench.exe" \
    "$(size Tolvane.exe)" "$(size Varrowen.dll)" "$(size bare.exe)"
