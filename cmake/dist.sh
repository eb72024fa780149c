#!/bin/sh
# Packs the release for Windows users from the build folder ($1) into dist/,
# where the kind ($2) is win32 for the i686 build or win64 for the x86_64
# build, both from the same staged files (see stage.sh; the x86_64 build
# folder $3 writes the templates where the i686 tolvctl cannot run):
#   Tolvane-<version>-<kind>.zip  the program, the library and tolvctl,
#       stripped, README.txt and SHA256SUMS at the top of the archive, and
#       the administrative templates in PolicyDefinitions
#   Tolvane-<version>-x86.msi (win32) or -x64.msi (win64)  the Windows
#       Installer package of the same files
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
"$here/stage.sh" "$build" "$stage" "$kind" "${3:-}"
[ -f "$stage/PolicyDefinitions/en-US/Tolvane.adml" ] ||
    { echo "dist: no administrative templates for $kind" >&2; exit 1; }
files="Tolvane.exe Varrowen.dll tolvctl.exe README.txt PolicyDefinitions/Tolvane.admx
       PolicyDefinitions/en-US/Tolvane.adml"
cd "$stage"
sha256sum $files >SHA256SUMS
zip -q -X "$zipfile" $files SHA256SUMS
cd "$top"
"$here/msi.sh" "$stage" "$arch" "$version" "$msi"
rm -rf "$stage"
echo "dist: dist/$name.zip"
echo "dist: dist/Tolvane-$version-$arch.msi"
