#!/bin/sh
# The folder as users have it, through the program: a program carried on a
# stick (drive R:, mapped in the prefix to a folder of this test) at the
# drive's root and in a folder of its own; plug-ins switched off by renaming
# beside a real one, never loaded; and the program's folder registered
# spelled another way, asked once. The fixtures' log says which plug-in was
# loaded, asked and freed.
# Usage (inside tools/wine-session.sh): tests/folders_test.sh BUILD_DIR
build="$(cd "$1" && pwd)"
name="folders test"
. "$(dirname "$0")/support/shell.sh"
LC_ALL=C.UTF-8
export LC_ALL
key='HKCU\Software\Morvenko\Susie\Plug-in'
drive="$WINEPREFIX/dosdevices/r:"
rm -rf "$drive"
mkdir -p "$work/stick/sub" "$work/stick/Ärger Stick Folder"
ln -s "$work/stick" "$drive"
trap 'rm -rf "$work" "$drive"; qx_wine reg delete "$key" /f >/dev/null 2>&1' EXIT
QX_FIXTURE_LOG=$(printf 'Z:%s' "$work/log.txt" | tr '/' '\\')
export QX_FIXTURE_LOG

# A program, the image fixture as z.spi, and accepting plug-ins switched
# off by renaming, which would be asked first if they were listed.
for dir in "$work/stick" "$work/stick/Ärger Stick Folder"; do
    cp "$build/bin/quorlex.exe" "$dir/"
    cp "$build/fixtures/img.spi" "$dir/z.spi"
    for off in a.spi_off b.spi.bak c.sphx d.sph_; do
        cp "$build/fixtures/img.spi" "$dir/$off"
    done
done
printf 'FXPC\0\0\0\0\50\0\0\0\10\0\0\0' >"$work/stick/picture.fxpc"
printf '\50\0\0\0\2\0\0\0\1\0\0\0\1\0\30\0' >>"$work/stick/picture.fxpc"
head -c 24 /dev/zero >>"$work/stick/picture.fxpc"
printf 'abcdefgh' >>"$work/stick/picture.fxpc"
printf 'data' >"$work/stick/other.dat"

# Runs a program on a file with a registered value ("-": none) and checks
# its exit code and the log.
check() {
    what=$1 value=$2 program=$3 file=$4 status=$5 log=$6
    if [ "$value" = "-" ]; then
        qx_wine reg delete "$key" /f >/dev/null 2>&1
    else
        qx_wine reg add "$key" /v Path /t REG_SZ /d "$value" /f >/dev/null 2>&1 ||
            fail "$what: the value could not be registered"
    fi
    rm -f "$work/log.txt"
    qx_wine "$program" "$file"
    got=$?
    [ "$got" -eq "$status" ] || fail "$what: the program ended with $got, not $status"
    seen=$(cat "$work/log.txt" 2>/dev/null)
    [ "$seen" = "$log" ] || fail "$what: the log reads
$seen
and not
$log"
    echo "$name: $what"
}

taken='z.spi attach
z.spi IsSupported FXPC
z.spi GetPicture 0
z.spi detach'
# One z.spi asked about the head, then 128 bytes on, while loaded once.
declined='z.spi attach
z.spi IsSupported data
z.spi IsSupported ....
z.spi detach'

check "a program at the root of a drive" - 'R:\quorlex.exe' 'R:\picture.fxpc' 1 "$taken"
for value in 'R:\' 'r:\.' 'R:\sub\..' 'R:\\'; do
    check "the root registered as $value" "$value" 'R:\quorlex.exe' 'R:\other.dat' 0 "$declined"
done
short=$(qx_wine winepath -s 'R:\Ärger Stick Folder' | tr -d '\r')
[ -n "$short" ] && [ "$short" != 'R:\Ärger Stick Folder' ] || fail "no short name: $short"
for value in 'R:\ärger stick folder' "$short" 'R:\sub\..\Ärger Stick Folder\.'; do
    check "the program's folder registered as $value" "$value" \
        'R:\Ärger Stick Folder\quorlex.exe' 'R:\other.dat' 0 "$declined"
done
# Two folders that are not one are both asked.
check "a program in a folder of the stick, the root registered" 'R:\' \
    'R:\Ärger Stick Folder\quorlex.exe' 'R:\other.dat' 0 "$declined
$declined"
