#!/bin/sh
# Runs the whole suite of the i686 build ($1) in its 32-bit prefix and that
# of the x86_64 build ($2) in its 64-bit prefix. With two processors or more
# the two runs go side by side, each on a processor of its own (wine.sh and
# wineserver.sh keep a run on the first processor it may use); the x86_64
# run is shown when it is over. Fails when either run fails. A machine
# that runs no 32-bit programs runs the x86_64 suite alone, and says so.
build=$(cd "$1" && pwd)
build64=$(cd "$2" && pwd)

# The processors this shell may use, one number a line.
cpus=$(sed -n 's/^Cpus_allowed_list:[[:space:]]*//p' /proc/self/status | tr ',' '\n' |
       awk -F- '{ for (i = $1; i <= ($2 == "" ? $1 : $2); i++) print i }')
first=$(echo "$cpus" | sed -n 1p)
second=$(echo "$cpus" | sed -n 2p)

. "$(dirname "$0")/loader.sh"

suite() {   # suite NAME BUILD PREFIX CPU
    echo "== $1: $2/bin in $3"
    (cd "$2" && taskset -c "$4" ctest --output-on-failure)
}

if ! runs32; then
    # Every program of the i686 suite is a 32-bit one.
    echo "== i686: skipped: $no32"
    suite x86_64 "$build64" "$build64/wine-test64" "$first"; status64=$?
    status32=0
elif [ -z "$second" ]; then
    suite i686 "$build" "$build/wine-test" "$first"; status32=$?
    suite x86_64 "$build64" "$build64/wine-test64" "$first"; status64=$?
else
    log64=$build64/ctest.log
    suite x86_64 "$build64" "$build64/wine-test64" "$second" >"$log64" 2>&1 &
    pid64=$!
    suite i686 "$build" "$build/wine-test" "$first"; status32=$?
    wait $pid64; status64=$?
    cat "$log64"
fi
[ $status32 = 0 ] && [ $status64 = 0 ]
