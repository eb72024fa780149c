#!/bin/sh
# Builds the Windows Installer package $4 from the staged files in $1 (see
# stage.sh) with wixl: architecture $2 (x86 or x64), product version $3.
# The administrative templates go in when the stage has them.
# The package code is new with every build; the product code is the same
# for every build of one version and architecture, and another for each
# other version, so that a later version is an upgrade of the earlier one.
set -e
stage=$(cd "$1" && pwd)
arch=$2
version=$3
output=$4
here=$(cd "$(dirname "$0")" && pwd)
case "$arch" in
x86|x64) ;;
*) echo "msi: the architecture is x86 or x64, not '$arch'" >&2; exit 1 ;;
esac

# The name-based UUID (version 5, SHA-1) of the text $2 in the namespace $1.
uuid5() {
    hex=$(echo "$1" | tr -d -)
    bytes=
    while [ -n "$hex" ]; do
        rest=${hex#??}
        bytes="$bytes\\$(printf %03o $((0x${hex%"$rest"})))"
        hex=$rest
    done
    hash=$({ printf "$bytes"; printf %s "$2"; } | sha1sum | cut -c1-32)
    variant=$(printf %x $((0x$(echo "$hash" | cut -c17) & 3 | 8)))
    echo "$hash" | tr a-f A-F |
        sed "s/^\(.\{8\}\)\(.\{4\}\).\(.\{3\}\).\(.\{3\}\)\(.*\)/\1-\2-5\3-$variant\4-\5/"
}
# Tolvane's own namespace for its product codes.
productcode=$(uuid5 27585E35-251D-42FB-BF66-4F043BD95E1B "$arch $version")

# wixl finds the files only by a path relative to the source's own folder.
mkdir -p "$(dirname "$output")"
templates=no
[ -f "$stage/PolicyDefinitions/Tolvane.admx" ] && templates=yes
wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D ProductCode="$productcode" -D Templates=$templates \
    -D Stage="$(realpath --relative-to="$here" "$stage")" -o "$output" "$here/tolvane.wxs"
