# What this machine lacks for the lanes that run 32-bit Wine under
# qemu-user, if anything, for sh scripts to source. Both set the lane up
# when they can (tools/wine32-setup.sh, once per machine, into a cache
# outside the work tree); only what needs the lane waits for it.
#   wine32_dir: the lane's folder, for tools/wine32-run.sh
#   wine32_missing: the x86 lane (32-bit Wine in a win32 prefix)
#   both_widths_missing: the lane for both widths (one win64 prefix
#     running the 64-bit and the 32-bit Wine side by side)
# Each of the two prints nothing when the lane can run, else what it needs,
# in one line. Inside the lane for both widths (tools/wine32-run.sh --both):
#   both_widths_prefix DIR LOG: makes DIR the session's win64 prefix, made
#     once and kept, and starts its server; 1 when it cannot be made.
lanes_tools="$(cd "$(dirname "$0")/../tools" 2>/dev/null && pwd)"

wine32_dir() {
    sh "$lanes_tools/wine32-setup.sh" --where
}

wine32_missing() {
    kernel=$(uname -r)
    major=${kernel%%.*}
    minor=${kernel#*.}
    minor=${minor%%[!0-9]*}
    if [ "$major" -lt 6 ] || { [ "$major" -eq 6 ] && [ "$minor" -lt 7 ]; }; then
        echo "Linux 6.7 or newer for a binfmt_misc of its own in a user namespace (this is $kernel)"
    elif ! unshare --user --map-root-user --mount true 2>/dev/null; then
        echo "user and mount namespaces (unshare --user --map-root-user --mount failed)"
    elif ! lanes_setup; then
        echo "the i386 Wine and qemu-user from the Debian mirror: could not $lanes_said"
    elif ! sh "$lanes_tools/wine32-run.sh" "$(wine32_dir)" true 2>/dev/null; then
        echo "a binfmt_misc mounted in a user namespace (mount or register failed)"
    fi
}

# Sets the lane up, passing on what the set-up says; on failure, its reason
# is in lanes_said.
lanes_setup() {
    lanes_log=$(mktemp)
    sh "$lanes_tools/wine32-setup.sh" 2>"$lanes_log"
    lanes_status=$?
    cat "$lanes_log" >&2
    lanes_said=$(sed -n 's/^wine32-setup: cannot //p' "$lanes_log" | tail -n 1)
    rm -f "$lanes_log"
    lanes_said=${lanes_said:-set them up}
    return "$lanes_status"
}

both_widths_missing() {
    missing=$(wine32_missing)
    if [ -n "$missing" ]; then
        echo "$missing"
    elif ! sh "$lanes_tools/wine32-run.sh" --both "$(wine32_dir)" test -e /usr/lib/wine/wine \
        2>/dev/null; then
        echo "an overlay mounted in a user namespace on /usr/lib/wine (mount failed)"
    fi
}

both_widths_prefix() {
    WINEPREFIX="$1"
    WINEARCH=win64
    export WINEPREFIX WINEARCH
    # Made in the namespace, so that its syswow64 is filled; a prefix made
    # on a loaded machine now and then fails, and is made again.
    for try in 1 2 3 4; do
        [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] && break
        [ "$try" -lt 4 ] || return 1
        rm -rf "$WINEPREFIX"
        /usr/lib/wine/wine64 wineboot -i >"$2" 2>&1 </dev/null
        /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
            /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
        /usr/lib/wine/wineserver64 -k >/dev/null 2>&1
    done
    /usr/lib/wine/wineserver64 -p >/dev/null 2>&1 </dev/null
}

# A banner no one misses, for a lane that cannot run: lanes_banner LANE NEED WHAT
lanes_banner() {
    echo "########################################################################"
    echo "# $1 CANNOT RUN ON THIS MACHINE: it needs $2."
    echo "# $3"
    echo "########################################################################"
}
