# Sourced by the scripts that show Wine's windows without a display.
# startxvfb WIDTHxHEIGHT: starts Xvfb on a display number that nobody uses,
# sets $xvfb to its process and exports DISPLAY, and returns once the screen
# answers. The first Wine process after a server start decides the display
# for the whole session, so call it before any Wine command of the session.
startxvfb() {
    n=90
    while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do
        n=$((n + 1))
    done
    Xvfb :$n -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=:$n
    tries=0
    until xwininfo -root >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ $tries -le 50 ] || { echo "Xvfb did not start on :$n" >&2; return 1; }
        sleep 0.2
    done
}
