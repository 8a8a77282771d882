#!/bin/sh
# Sets up what runs 32-bit Windows programs on a machine whose kernel runs
# no 32-bit code: 32-bit Wine from Debian's i386 packages, unpacked into a
# root of its own, and qemu-user 10 from bookworm-backports to run it. apt
# works with a private state (its own lists, cache and an empty package
# status); nothing is installed on the machine, and the machine's own
# binfmt setup is never touched. The mirror is the one the machine's apt
# sources name.
#
# The lane lives in a cache outside any work tree, shared by every clone on
# the machine: ${QUORLEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorlex}.
# Its folder is named after the machine's wine64 version, which the i386
# Wine is pinned to (one win64 prefix then runs both widths, see
# tools/wine32-run.sh --both), so a new wine64 gets a lane of its own. The
# folder is complete or absent: it is built aside, its marker written last
# (naming the wine64 version), and moved into place; a lock keeps two set-ups
# from building it at once. Once it is there, a set-up downloads nothing.
#
# A mirror has bad days: one suite's index may disagree with its Release
# file for hours. A list that fails to download is a warning; only the
# install step decides, and it is tried a few times with a pause. When the
# lane cannot be had, the last line on standard error says why, from
# "wine32-setup: cannot".
# Usage: tools/wine32-setup.sh          sets the lane up, if need be
#        tools/wine32-setup.sh --where  prints the lane's folder
cache="${QUORLEX_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/quorlex}"
wine=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null)
lane="$cache/wine32-$(printf '%s' "${wine:-none}" | tr -c 'A-Za-z0-9.+~-' '_')"
if [ "$1" = "--where" ]; then
    echo "$lane"
    exit 0
fi

cannot() {
    echo "wine32-setup: cannot $*" >&2
    exit 1
}
ready() {
    [ "$(cat "$lane/ready" 2>/dev/null)" = "$wine" ]
}
[ -n "$wine" ] || cannot "pin the i386 Wine: the machine's wine64 package is not installed"
ready && exit 0
mkdir -p "$cache" || cannot "make the cache folder $cache"
exec 9>"$cache/lock"
flock 9 || cannot "lock $cache/lock"
# Another set-up may have made it while this one waited.
ready && exit 0

# The Debian mirrors of the machine's own apt sources.
sources=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null)
mirror=$(printf '%s\n' "$sources" | sed -n 's/^URIs: *//p' | tr ' ' '\n' | grep -v security | head -1)
security=$(printf '%s\n' "$sources" | sed -n 's/^URIs: *//p' | tr ' ' '\n' | grep security | head -1)
if [ -z "$mirror" ]; then
    mirror=$(sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\) .*/\2/p' /etc/apt/sources.list 2>/dev/null |
        grep -v security | head -1)
fi
[ -n "$mirror" ] || cannot "find a Debian mirror in the machine's apt sources"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# apt with a private state for one architecture: apt_for ARCH NAME SOURCES...
# Its lists and the .debs it fetches stay in the cache for the next set-up.
apt_for() {
    arch="$1"
    state="$cache/apt-$2"
    shift 2
    mkdir -p "$state/lists/partial" "$state/archives/partial"
    : >"$state/status"
    : >"$state/sources.list"
    for line in "$@"; do
        echo "deb [arch=$arch signed-by=$keyring] $line" >>"$state/sources.list"
    done
    echo "-o Dir::State=$state -o Dir::State::Lists=$state/lists -o Dir::State::status=$state/status
          -o Dir::Cache=$state -o Dir::Cache::archives=$state/archives
          -o Dir::Etc::SourceList=$state/sources.list
          -o Dir::Etc::SourceParts=/dev/null -o Dir::Etc::Preferences=/dev/null
          -o Dir::Etc::PreferencesParts=/dev/null -o APT::Architecture=$arch
          -o APT::Architectures=$arch -o Debug::NoLocking=1 -o APT::Get::AllowUnauthenticated=0
          -o APT::Sandbox::User=root"
}

# apt's complaints without the mirror's address: the suite and file, and
# what went wrong.
apt_said() {
    grep '^[EW]:' "$1" | sed -e 's|[a-z]*://[^ ]*/dists/|dists/|' -e 's| *\[IP:[^]]*\]||' \
        -e "s|resolving '[^']*'|resolving the mirror's name|" |
        sort -u | head -n 3 | tr '\n' ' '
}

# Fetches a package into the state's archives, trying three times with a
# pause, and prints the names of the .deb files it takes: with `install`,
# the package and everything it depends on (exactly the set apt chose),
# with `download`, the package alone. fetch MODE OPTIONS PACKAGE LABEL
fetch() {
    mode="$1" options="$2" package="$3" label="$4"
    log="$cache/apt-$label.log"
    archives="$cache/apt-$label/archives"
    for try in 1 2 3; do
        # A list that fails is a warning: what is needed may still resolve.
        if ! apt-get $options -qq update >"$log" 2>&1; then
            echo "wine32-setup: warning: not every $label list downloaded: $(apt_said "$log")" >&2
        fi
        if [ "$mode" = install ]; then
            if apt-get $options -qq -y --download-only --no-install-recommends install \
                "$package" >"$log.fetch" 2>&1; then
                # As apt names the files: an epoch's colon is %3a.
                apt-get $options -s -y --no-install-recommends install "$package" 2>/dev/null |
                    sed -n 's/^Inst \([^ ]*\) (\([^ ]*\) .*/\1_\2_/p' | sed 's/:/%3a/g'
                return 0
            fi
        elif (cd "$archives" && apt-get $options -qq download "$package") >"$log.fetch" 2>&1; then
            # (Asked where the file is not: there apt would name nothing.)
            (cd "$cache" && apt-get $options --print-uris download "$package") |
                awk '{ print $2 }'
            return 0
        fi
        [ "$try" -lt 3 ] && sleep $((try * 5))
    done
    why=$(apt_said "$log.fetch")
    listed=$(apt_said "$log")
    cannot "fetch $package ($label): ${why:-apt failed}${listed:+ (lists: $listed)}"
}

# Removes the .debs of ARCHIVES that no name prefix in NAMES begins.
keep_only() {
    for deb in "$1"/*.deb; do
        [ -f "$deb" ] || continue
        used=""
        for prefix in $2; do
            case "${deb##*/}" in "$prefix"*) used=1 && break ;; esac
        done
        [ -n "$used" ] || rm -f "$deb"
    done
}

i386=$(apt_for i386 i386 "$mirror bookworm main" "$mirror bookworm-updates main" \
    ${security:+"$security bookworm-security main"})
amd64=$(apt_for amd64 backports "$mirror bookworm-backports main")
echo "wine32-setup: fetching wine32 $wine and its dependencies (i386) into $cache" >&2
i386_debs=$(fetch install "$i386" "wine32=$wine" i386) || exit 1
echo "wine32-setup: fetching qemu-user from bookworm-backports" >&2
qemu_deb=$(fetch download "$amd64" qemu-user backports) || exit 1
[ -n "$i386_debs" ] && [ -n "$qemu_deb" ] || cannot "tell which .debs apt fetched"

# Built aside and moved into place whole, the marker written last.
rm -rf "$cache"/wine32-new.*
work="$cache/wine32-new.$$"
mkdir -p "$work/root" "$work/qemu" "$work/overlay" || cannot "make $work"
for prefix in $i386_debs; do
    for deb in "$cache/apt-i386/archives/$prefix"*.deb; do
        dpkg-deb -x "$deb" "$work/root" || cannot "unpack $deb"
    done
done
dpkg-deb -x "$cache/apt-backports/archives/$qemu_deb" "$work/qemu" ||
    cannot "unpack $qemu_deb"
[ -x "$work/root/usr/lib/wine/wine" ] || cannot "find the 32-bit Wine in the unpacked packages"
[ -x "$work/qemu/usr/bin/qemu-i386" ] || cannot "find qemu-i386 in the unpacked qemu-user"

# What libwine's post-install step does: zlib1.dll from the MinGW zlib, as a
# Wine builtin (a 32-byte marker at byte 64); without it user32 fails to load.
zlib="$work/root/usr/i686-w64-mingw32/lib/zlib1.dll"
target="$work/root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
rm -f "$target"
{
    head -c 64 "$zlib"
    printf 'Wine builtin DLL\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'
    tail -c +97 "$zlib"
} >"$target" || cannot "write $target"

# The root's own loader cache; without it the loader reads the machine's
# cache and misses libraries such as FreeType.
mkdir -p "$work/root/etc"
printf '%s\n' /lib/i386-linux-gnu /usr/lib/i386-linux-gnu /usr/lib/i386-linux-gnu/wine \
    >"$work/root/etc/ld.so.conf"
ldconfig -r "$work/root" || cannot "make the root's loader cache"

# What the lane for both widths needs beside the root: the 64-bit Wine's
# own folder seen with the 32-bit loader in it (through a symlink, to where
# the root will be: qemu then finds the 32-bit Wine's DLLs in the root),
# and the way back from the 32-bit Wine to the 64-bit one.
ln -sfn "$lane/root/usr/lib/wine/wine" "$work/overlay/wine"
ln -sfn /usr/lib/wine/wine64 "$work/root/usr/lib/wine/wine64"

printf '%s\n' "$wine" >"$work/ready"
rm -rf "$lane"
mv "$work" "$lane" || cannot "move $work to $lane"
# Lanes of earlier wine64 versions, and the .debs nothing uses now.
for old in "$cache"/wine32-*; do
    [ "$old" = "$lane" ] || rm -rf "$old"
done
keep_only "$cache/apt-i386/archives" "$i386_debs"
keep_only "$cache/apt-backports/archives" "$qemu_deb"
echo "wine32-setup: ready in $lane" >&2
