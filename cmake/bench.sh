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

# Every Win32 call that needs the Wine server is a round trip to it. When
# the server and the caller run on different processors, each trip waits
# for the other processor to wake, which varies from run to run by ten
# times; on one processor a trip costs the same each time. So this prefix's
# server (restarted, so that it is on that processor too), Wine's services
# and the benchmark all run on the first processor this script may use.
cpu=$(taskset -pc $$ | sed 's/.*: //; s/[-,].*//')
"$here/wineserver.sh" stop "$prefix"
taskset -c "$cpu" "$here/wineserver.sh" start "$prefix"
trap '"$here/wineserver.sh" stop "$prefix"' EXIT
taskset -c "$cpu" wine "$build/bin/tolvane_bench.exe" \
    "$(size Tolvane.exe)" "$(size Varrowen.dll)" "$(size bare.exe)"
