#!/bin/sh
# Renders the README's pictures of Tolvane into docs/: under Xvfb, in Wine's
# virtual desktop, so that Wine itself draws the frames and captions. Uses
# its own prefix in the build folder ($1), with a graphics driver.
set -e
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
docs=$(cd "$here/.." && pwd)/docs
prefix=$build/wine-shots
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$docs"

. "$here/xvfb.sh"
trap '"$here/wineserver.sh" stop "$prefix"; [ -z "$xvfb" ] || kill $xvfb 2>/dev/null' EXIT
startxvfb 1024x768

"$here/wineprefix.sh" "$prefix"
"$here/wineserver.sh" start "$prefix"
# Every window of the session in one virtual desktop that fills the screen.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Tolvane /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Tolvane /d 1024x768 /f >/dev/null 2>&1

wine "$build/bin/Tolvane.exe" </dev/null >/dev/null 2>&1 &
pnm=$build/shot.pnm
for shot in menu tweak restrict about; do
    # The server and Wine's services are up, so the output can be read here.
    set -- $(wine "$build/bin/tolvane_shoot.exe" $shot | tr -d '\r')
    sleep 1    # let it paint
    xwd -root -silent | xwdtopnm 2>/dev/null |
        pnmcut -left "$1" -top "$2" -width "$3" -height "$4" >"$pnm"
    if [ $# = 8 ]; then
        # Xvfb leaves an open menu black in a capture of the screen, though
        # the menu's own X window holds it: that window, found by its place
        # and size, is captured on its own and pasted where it stands.
        menu=$(xwininfo -root -tree | grep -m1 " $7x$8+$5+$6 " | awk '{print $1}')
        xwd -id "$menu" -silent | xwdtopnm 2>/dev/null >"$pnm.menu"
        pnmpaste "$pnm.menu" $(($5 - $1)) $(($6 - $2)) "$pnm" >"$pnm.both"
        mv "$pnm.both" "$pnm"
        rm -f "$pnm.menu"
    fi
    pnmtopng <"$pnm" >"$docs/$shot.png"
    echo "screenshots: docs/$shot.png"
done
rm -f "$pnm"
