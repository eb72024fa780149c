#!/bin/sh
# Puts what a release of the build folder $1 carries into the folder $2, made
# anew: Tolvane.exe, Varrowen.dll and tolvctl.exe, stripped with the build's
# own strip, README.txt for Windows users, and the administrative templates
# in PolicyDefinitions, which the build's tolvctl writes under Wine in the
# build's test prefix ($3 is its WINEARCH, win32 or win64). The templates
# are the same for both architectures: where this machine runs no 32-bit
# programs, the x86_64 build folder $4 writes them for the i686 one, and
# without it the stage goes without them, with a line that says so. The zip
# and the Windows Installer package are made from this one folder.
set -e
build=$(cd "$1" && pwd)
stage=$2
top=$(cd "$(dirname "$0")/.." && pwd)
cache=$build/CMakeCache.txt
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache")
strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$cache")
[ -n "$version" ] || { echo "stage: no version in $cache" >&2; exit 1; }
[ -n "$strip" ] || { echo "stage: no strip in $cache" >&2; exit 1; }

rm -rf "$stage"
mkdir -p "$stage"
for f in Tolvane.exe Varrowen.dll tolvctl.exe; do
    "$strip" -o "$stage/$f" "$build/bin/$f"
done
# Windows line ends, so that every Notepad shows it as written.
sed "s/@VERSION@/$version/g; s/\$/\r/" "$top/docs/windows-readme.txt" >"$stage/README.txt"

export WINEARCH=$3 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$top/cmake/loader.sh"
writer=$build
if [ "$WINEARCH" = win32 ] && ! runs32; then
    if [ -z "${4:-}" ]; then
        echo "stage: $no32, and no x86_64 build writes the templates: $stage has none"
        exit 0
    fi
    echo "stage: $no32; the x86_64 build's tolvctl writes the templates"
    writer=$(cd "$4" && pwd)
    export WINEARCH=win64
    . "$top/cmake/loader.sh"
fi
case "$WINEARCH" in
win64) export WINEPREFIX="$writer/wine-test64" ;;
*) export WINEPREFIX="$writer/wine-test" ;;
esac
"$top/cmake/wineprefix.sh" "$WINEPREFIX" null
templates=$(printf 'Z:%s/PolicyDefinitions' "$(cd "$stage" && pwd)" | tr / '\\')
$wine "$writer/bin/tolvctl.exe" export --admx "$templates" >/dev/null
