#!/bin/sh
# Puts what a release of the build folder $1 carries into the folder $2, made
# anew: Tolvane.exe, Varrowen.dll and tolvctl.exe, stripped with the build's
# own strip, and README.txt for Windows users. The zip and the Windows
# Installer package are made from this one folder.
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
