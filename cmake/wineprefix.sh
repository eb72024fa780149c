#!/bin/sh
# Makes a private Wine prefix at $1, once: 32-bit, or 64-bit when WINEARCH
# is win64. With "null" as $2 the prefix gets no graphics driver: windows
# exist and take messages, but nothing is drawn, so tests run without a
# display. A WINEDLLOVERRIDES of the caller's replaces the usual one.
set -e
prefix=$1
graphics=$2
export WINEPREFIX="$prefix" WINEARCH="${WINEARCH:-win32}" WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
[ -f "$prefix/.tolvane-ready" ] && exit 0
. "$(dirname "$0")/loader.sh"
if [ "$WINEARCH" != win64 ] && ! runs32; then
    echo "wineprefix: $prefix is not made: $no32"
    exit 0
fi

mkdir -p "$prefix"
$wine wineboot -i >/dev/null 2>&1
# Wine's own fonts (Marlett for the caption buttons, MS Sans Serif for the
# dialogs) are looked for in the prefix.
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
# A crash must end the process, not wait for someone to close a dialog.
$wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
if [ "$graphics" = null ]; then
    $wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
fi
# Stop this prefix's server so that the registry reaches the disk and the
# next start reads the driver setting.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
touch "$prefix/.tolvane-ready"
