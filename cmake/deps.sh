#!/bin/sh
# Installs what building, testing and running Tolvane need, and only what is
# missing: on a machine that has everything it returns at once.
set -e

packages="make cmake googletest
          g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 fonts-wine xvfb x11-apps x11-utils netpbm zip
          wixl msitools python3 libxml2-utils"

missing=
dpkg --print-foreign-architectures | grep -qx i386 || missing=i386
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "deps: missing:$missing; run as root to install them" >&2
    exit 1
fi
echo "deps: installing:$missing"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends $(echo "$packages" | tr -s ' \n' ' ')
