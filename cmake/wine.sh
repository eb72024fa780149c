#!/bin/sh
# Runs a Windows program of the tests under Wine on the first processor this
# shell may use, where wineserver.sh keeps the test prefix's server. Every
# window, registry or file call is a round trip to that server; with both
# ends on one processor a trip costs the same each time, while across two it
# waits for the other processor to wake and the suite runs many times slower.
. "$(dirname "$0")/loader.sh"
cpu=$(taskset -pc $$ | sed 's/.*: //; s/[-,].*//')
exec taskset -c "$cpu" $wine "$@"
