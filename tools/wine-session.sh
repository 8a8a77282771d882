#!/bin/sh
# Runs a command with the x64 build tree's Wine prefix ready: a virtual
# display (for message boxes), the prefix made once, and a wine server kept
# up for the whole command so that the clipboard outlives each program.
# Usage: tools/wine-session.sh BUILD_DIR command [args...]
build="$1"
shift
WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
DISPLAY=":$display"
export DISPLAY
for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.2
done

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "making the Wine prefix $WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null
    # A program that crashes ends; no crash dialog waits for a click.
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
        /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
fi
/usr/lib/wine/wineserver64 -p >/dev/null 2>&1 </dev/null
# The first program of a session starts Wine's own background processes;
# started here, they do not hold on to the output pipes of a test runner.
/usr/lib/wine/wine64 cmd.exe /c exit >/dev/null 2>&1 </dev/null

"$@"
status=$?

/usr/lib/wine/wineserver64 -k >/dev/null 2>&1
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
