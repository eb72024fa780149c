#!/bin/sh
# Runs the benchmark of the i686 build ($1) in its test prefix and prints its
# table, then the stripped sizes of the x86_64 build ($2). Figures only:
# nothing passes or fails on them. Where the machine runs no 32-bit
# programs, the x86_64 build's benchmark measures the timings instead; the
# sizes of both builds are read from their files either way.
set -e
build=$(cd "$1" && pwd)
build64=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bench=$build
export WINEARCH=win32
. "$here/loader.sh"
if ! runs32; then
    echo "bench: $no32; the timings are the x86_64 build's"
    bench=$build64
    export WINEARCH=win64
fi
prefix=$bench/wine-test
[ "$WINEARCH" = win32 ] || prefix=$bench/wine-test64
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Sizes are those of stripped copies; the build's own files stay as built.
copies=$build/stripped
mkdir -p "$copies/x64"
for f in Tolvane.exe Varrowen.dll bare.exe tolvctl.exe; do
    i686-w64-mingw32-strip -o "$copies/$f" "$build/bin/$f"
done
for f in Tolvane.exe Varrowen.dll tolvctl.exe; do
    x86_64-w64-mingw32-strip -o "$copies/x64/$f" "$build64/bin/$f"
done
size() { stat -c %s "$copies/$1"; }

# The server, Wine's services and the benchmark share one processor, as in
# the tests (see wine.sh); the server is restarted so that it is there too.
"$here/wineserver.sh" stop "$prefix"
"$here/wineserver.sh" start "$prefix"
trap '"$here/wineserver.sh" stop "$prefix"' EXIT
"$here/wine.sh" "$bench/bin/tolvane_bench.exe" \
    "$(size Tolvane.exe)" "$(size Varrowen.dll)" "$(size bare.exe)" \
    "$(size tolvctl.exe)" "$(size x64/tolvctl.exe)"

awk -v exe="$(size x64/Tolvane.exe)" -v dll="$(size x64/Varrowen.dll)" 'BEGIN {
    printf "%-36s %8.1f KiB\n", "x64 Tolvane.exe + Varrowen.dll", (exe + dll) / 1024
    printf "%-36s %8d B + %d B = %d B\n", "", exe, dll, exe + dll
}'
