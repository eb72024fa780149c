#!/bin/sh
# Writes docs/settings.md anew: what tolvctl list --markdown of the i686
# build ($1) prints, in its test prefix. The tests fail while they differ.
set -e
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$build/wine-test" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine "$build/bin/tolvctl.exe" list --markdown >"$here/../docs/settings.md"
echo "settings: docs/settings.md"
