#!/bin/sh
# Sets up what runs 32-bit Windows programs on a machine whose kernel runs
# no 32-bit code: 32-bit Wine from Debian's i386 packages, unpacked into a
# root of its own, and qemu-user 10 from bookworm-backports to run it. apt
# works with a private state (its own lists, cache and an empty package
# status); nothing is installed on the machine, and the machine's own
# binfmt setup is never touched. The mirror is the one the machine's apt
# sources name. A second run finds everything in place and downloads nothing.
# The i386 Wine is the machine's own wine64's version, so that one win64
# prefix runs both widths (tools/wine32-run.sh --both).
# Usage: tools/wine32-setup.sh DIR
set -e
dir="$1"
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"
root="$dir/root"

# What the lane for both widths needs beside the root: the 64-bit Wine's
# own folder seen with the 32-bit loader in it (through a symlink: qemu
# then finds the 32-bit Wine's DLLs in the root), and the way back from the
# 32-bit Wine to the 64-bit one. Made again on every run: cheap, and older
# set-ups lack them.
both_widths_links() {
    mkdir -p "$dir/overlay"
    ln -sfn "$root/usr/lib/wine/wine" "$dir/overlay/wine"
    ln -sfn /usr/lib/wine/wine64 "$root/usr/lib/wine/wine64"
}
if [ -f "$dir/ready" ]; then
    both_widths_links
    exit 0
fi

# The Debian mirrors of the machine's own apt sources.
sources=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
mirror=$(printf '%s\n' "$sources" | sed -n 's/^URIs: *//p' | tr ' ' '\n' | grep -v security | head -1)
security=$(printf '%s\n' "$sources" | sed -n 's/^URIs: *//p' | tr ' ' '\n' | grep security | head -1)
if [ -z "$mirror" ]; then
    mirror=$(sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\) .*/\2/p' /etc/apt/sources.list 2>/dev/null |
        grep -v security | head -1)
fi
if [ -z "$mirror" ]; then
    echo "wine32-setup: no Debian mirror in the machine's apt sources" >&2
    exit 1
fi
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# apt with a private state for one architecture: apt_for ARCH NAME SOURCES...
apt_for() {
    arch="$1"
    state="$dir/apt-$2"
    shift 2
    mkdir -p "$state/lists/partial" "$state/cache/archives/partial"
    : >"$state/status"
    : >"$state/sources.list"
    for line in "$@"; do
        echo "deb [arch=$arch signed-by=$keyring] $line" >>"$state/sources.list"
    done
    echo "-o Dir::State=$state -o Dir::State::Lists=$state/lists -o Dir::State::status=$state/status
          -o Dir::Cache=$state/cache -o Dir::Etc::SourceList=$state/sources.list
          -o Dir::Etc::SourceParts=/dev/null -o Dir::Etc::Preferences=/dev/null
          -o Dir::Etc::PreferencesParts=/dev/null -o APT::Architecture=$arch
          -o APT::Architectures=$arch -o Debug::NoLocking=1 -o APT::Get::AllowUnauthenticated=0"
}

i386=$(apt_for i386 i386 "$mirror bookworm main" "$mirror bookworm-updates main" \
    ${security:+"$security bookworm-security main"})
wine=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null || true)
echo "wine32-setup: fetching wine32 ${wine:-(the newest)} and its dependencies (i386)"
apt-get $i386 -qq update
apt-get $i386 -qq -y --download-only --no-install-recommends install "wine32${wine:+=$wine}" \
    >/dev/null

amd64=$(apt_for amd64 backports "$mirror bookworm-backports main")
echo "wine32-setup: fetching qemu-user from bookworm-backports"
apt-get $amd64 -qq update
mkdir -p "$dir/qemu-deb"
(cd "$dir/qemu-deb" && apt-get $amd64 -qq download qemu-user)

rm -rf "$root" "$dir/qemu"
mkdir -p "$root" "$dir/qemu"
for deb in "$dir/apt-i386/cache/archives/"*.deb; do
    dpkg-deb -x "$deb" "$root"
done
dpkg-deb -x "$dir/qemu-deb/"qemu-user_*.deb "$dir/qemu"

# What libwine's post-install step does: zlib1.dll from the MinGW zlib, as a
# Wine builtin (a 32-byte marker at byte 64); without it user32 fails to load.
zlib="$root/usr/i686-w64-mingw32/lib/zlib1.dll"
target="$root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
rm -f "$target"
{
    head -c 64 "$zlib"
    printf 'Wine builtin DLL\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'
    tail -c +97 "$zlib"
} >"$target"

# The root's own loader cache; without it the loader reads the machine's
# cache and misses libraries such as FreeType.
mkdir -p "$root/etc"
printf '%s\n' /lib/i386-linux-gnu /usr/lib/i386-linux-gnu /usr/lib/i386-linux-gnu/wine \
    >"$root/etc/ld.so.conf"
ldconfig -r "$root"

both_widths_links
touch "$dir/ready"
echo "wine32-setup: ready in $dir"
