#!/bin/sh
# Packs the release for Windows users from the build folder ($1) into dist/,
# where the kind ($2) is win32 for the i686 build or win64 for the x86_64
# build, both from the same staged files (see stage.sh):
#   Tolvane-<version>-<kind>.zip  the program, the library and tolvctl,
#       stripped, README.txt and SHA256SUMS, all at the top of the archive
#   Tolvane-<version>-x86.msi (win32) or -x64.msi (win64)  the Windows
#       Installer package of the same four files
set -e
build=$(cd "$1" && pwd)
kind=$2
case "$kind" in
win32) arch=x86 ;;
win64) arch=x64 ;;
*) echo "dist: the kind is win32 or win64, not '$kind'" >&2; exit 1 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "dist: no version in $build/CMakeCache.txt" >&2; exit 1; }
name=Tolvane-$version-$kind
stage=$top/dist/$name
zipfile=$top/dist/$name.zip
msi=$top/dist/Tolvane-$version-$arch.msi

rm -f "$zipfile" "$msi"
"$here/stage.sh" "$build" "$stage"
files="Tolvane.exe Varrowen.dll tolvctl.exe"
cd "$stage"
sha256sum $files README.txt >SHA256SUMS
zip -q -X "$zipfile" $files README.txt SHA256SUMS
cd "$top"
"$here/msi.sh" "$stage" "$arch" "$version" "$msi"
rm -rf "$stage"
echo "dist: dist/$name.zip"
echo "dist: dist/Tolvane-$version-$arch.msi"
