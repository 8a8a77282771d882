#!/bin/sh
# Runs a command with a build tree's Wine ready: a virtual display (for
# message boxes), the tree's prefix made once, and a wine server kept up for
# the whole command so that the clipboard outlives each program. For the x86
# tree it first sets up 32-bit Wine under qemu-user (tools/wine32-setup.sh);
# where this machine cannot run it, it says so loudly, names what is
# missing and ends with 77 without running the command. The x64 tree needs
# nothing of the x86 lane: only its tests of both widths set that up.
# Usage: tools/wine-session.sh BUILD_DIR command [args...]
build="$(cd "$1" && pwd)"
shift
tools="$(cd "$(dirname "$0")" && pwd)"
. "$build/wine-env.sh"

. "$tools/lanes.sh"

if [ -n "$QX_WINE32" ]; then
    missing=$(wine32_missing)
    if [ -n "$missing" ]; then
        lanes_banner "THE x86 LANE" "$missing" "The x86 program is built and inspected, but not run."
        exit 77
    fi
fi

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
    WINEDEBUG=-all qx_wine wineboot -i >/dev/null 2>&1 </dev/null
    # A program that crashes ends; no crash dialog waits for a click.
    WINEDEBUG=-all qx_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
        /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
fi
$WINESERVER -p >/dev/null 2>&1 </dev/null
# The first program of a session starts Wine's own background processes;
# started here, they do not hold on to the output pipes of a test runner.
WINEDEBUG=-all qx_wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
# One window owner for the whole session keeps Wine's desktop process, and
# with it the clipboard, from restarting between two programs.
if [ -f "$build/bin/holder.exe" ]; then
    WINEDEBUG=-all qx_wine "$build/bin/holder.exe" >/dev/null 2>&1 </dev/null &
fi

"$@"
status=$?

$WINESERVER -k >/dev/null 2>&1
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
