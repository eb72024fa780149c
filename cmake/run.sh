#!/bin/sh
# Starts Tolvane under Wine, in a private prefix of the build folder ($1):
# a 32-bit prefix, or a 64-bit one when $2 is win64 (for the x86_64 build).
# Where the machine runs no 32-bit programs, the x86_64 build ($3) in a
# 64-bit prefix stands in for the i686 one.
# With a display it runs there until it is closed. Without one it runs under
# Xvfb, saves a screenshot of the screen, prints its path and ends.
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
export WINEARCH="${2:-win32}"
. "$here/loader.sh"
if [ "$WINEARCH" = win32 ] && ! runs32 && [ -n "$3" ]; then
    echo "run: $no32; starting the x86_64 build"
    build=$(cd "$3" && pwd)
    export WINEARCH=win64
    . "$here/loader.sh"
fi
prefix=$build/wine-run
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

"$here/wineprefix.sh" "$prefix"
x11='HKCU\Software\Wine\X11 Driver'

if [ -n "$DISPLAY" ]; then
    $wine reg delete "$x11" /v Managed /f >/dev/null 2>&1 || true
    exec $wine "$build/bin/Tolvane.exe"
fi

. "$here/xvfb.sh"
trap 'wineserver -k 2>/dev/null; [ -z "$xvfb" ] || kill $xvfb 2>/dev/null' EXIT
startxvfb 640x480

# Wine draws the frames itself rather than leaving them to a window manager,
# which an Xvfb screen does not have. Wine's first process of the session
# (this one) starts the desktop on this screen.
$wine reg add "$x11" /v Managed /d N /f >/dev/null 2>&1
$wine "$build/bin/Tolvane.exe" </dev/null >/dev/null 2>&1 &
title="Tolvane - A Cool tool for most useful system settings"
tries=0
until xwininfo -name "$title" 2>/dev/null | grep -q IsViewable; do
    tries=$((tries + 1))
    if [ $tries -gt 150 ]; then
        echo "run: the main window did not appear within 30 seconds" >&2
        exit 1
    fi
    sleep 0.2
done
sleep 1    # let it paint
shot=$build/tolvane-run.png
xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$shot"
echo "Tolvane ran under Xvfb (no display here); screenshot: $shot"
