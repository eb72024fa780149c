#!/bin/sh
# Writes docs/settings.md anew: what tolvctl list --markdown of the x86_64
# build ($1) prints, in its test prefix; the i686 build prints the same from
# the same tables. The tests fail while they differ.
set -e
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$build/wine-test64" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$here/loader.sh"
$wine "$build/bin/tolvctl.exe" list --markdown >"$here/../docs/settings.md"
echo "settings: docs/settings.md"
