#!/bin/sh
# Starts ("start") or stops ("stop") the Wine server of the test prefix $2.
# The server stays up for the whole test run, with Wine's own services
# started here, detached from the output pipes that ctest reads: a service
# started by a test would hold them open and ctest would wait for ever.
# The server and the services run on the processor that wine.sh runs the
# tests on. WINEARCH (win32 when unset) must be the prefix's own; a
# WINEDLLOVERRIDES of the caller's replaces the usual one.
export WINEPREFIX="$2" WINEARCH="${WINEARCH:-win32}" WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
. "$(dirname "$0")/loader.sh"
case "$1" in
start)
    cpu=$(taskset -pc $$ | sed 's/.*: //; s/[-,].*//')
    taskset -c "$cpu" wineserver -p </dev/null >/dev/null 2>&1
    taskset -c "$cpu" $wine wineboot </dev/null >/dev/null 2>&1
    ;;
stop)
    # Only this prefix's server: other prefixes and sessions are not touched.
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    exit 0
    ;;
esac
