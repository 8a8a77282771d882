#!/bin/sh
# Both widths in one win64 prefix, with the programs users get: the
# unpacked release's quorlex.exe (x86) and quorlex64.exe (x64) side by side.
# With only the other width's plug-ins beside it, each program hands the
# file to the other, and the picture or the listing lands exactly; in a
# folder where a plug-in of each width takes the file, the program's own
# width wins; the partner asks only its own width's files. The fixtures'
# log says which plug-ins were loaded, asked and freed; the clipboard holds
# a sentinel before every run.
# Usage (inside tools/wine-session.sh of the x64 tree, the x86 tree built
# beside it): tests/both_widths_test.sh BUILD_DIR
build="$(cd "$1" && pwd)"
name="both widths test"
root="$(cd "$(dirname "$0")/.." && pwd)"
x86="$build/../x86"
if [ "$2" != "--inside" ]; then
    . "$root/tools/lanes.sh"
    if [ ! -f "$x86/bin/quorlex.exe" ]; then
        echo "$name: the x86 tree is not built ($x86): nothing to hand over to"
        exit 77
    fi
    missing=$(both_widths_missing)
    if [ -n "$missing" ]; then
        lanes_banner "THE LANE FOR BOTH WIDTHS" "$missing" \
            "The hand-over between the two programs is not run."
        exit 77
    fi
    exec sh "$root/tools/wine32-run.sh" --both "$(wine32_dir)" sh "$0" "$1" --inside
fi
. "$(dirname "$0")/support/shell.sh"
LC_ALL=C.UTF-8
export LC_ALL
. "$root/tools/lanes.sh"
both_widths_prefix "$build/both-widths-prefix" "$work/wineboot.txt" ||
    fail "no win64 prefix with syswow64: $(tail -n 5 "$work/wineboot.txt")"
wine=/usr/lib/wine/wine64
key='HKCU\Software\Morvenko\Susie\Plug-in'
trap '$wine reg delete "$key" /f >/dev/null 2>&1; $WINESERVER -k >/dev/null 2>&1' EXIT
$wine "$build/bin/holder.exe" >/dev/null 2>&1 </dev/null &
$wine reg delete "$key" /f >/dev/null 2>&1

# The release, unpacked.
zip=$(sh "$root/tools/dist.sh" "$work/dist") || fail "tools/dist.sh failed"
(cd "$work" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
release="$work/Quorlex"
QX_FIXTURE_LOG=$(windows_path "$work/log.txt")
export QX_FIXTURE_LOG

clipread() {
    $wine "$build/bin/clipread.exe" "$@" | tr -d '\r'
}

# Runs a program on a file, the clipboard holding a sentinel before, and
# checks its exit code, the fixtures' log and what the clipboard holds:
# "dib" and the file whose CF_DIB it is (a .bmp's bytes after its 14-byte
# header, or an image fixture's container's after its 16), or "text" and
# the listing as CF_UNICODETEXT, which spells every name.
check() {
    what=$1 program=$2 file=$3 status=$4 log=$5 kind=$6 expected=$7
    clipread --sentinel >/dev/null || fail "$what: no sentinel on the clipboard"
    [ "$(clipread "$(windows_path "$work/pasted.bmp")" | sed '1,2d')" = "clipboard sentinel" ] ||
        fail "$what: the sentinel is not on the clipboard: $(clipread x)"
    rm -f "$work/log.txt" "$work/pasted.bmp"
    $wine "$program" "$(windows_path "$file")"
    got=$?
    [ "$got" -eq "$status" ] || fail "$what: $(basename "$program") ended with $got, not $status"
    seen=$(cat "$work/log.txt" 2>/dev/null)
    [ "$seen" = "$log" ] || fail "$what: the log reads
$seen
and not
$log"
    if [ "$kind" = dib ]; then
        shown=$(clipread "$(windows_path "$work/pasted.bmp")")
        [ -f "$work/pasted.bmp" ] || fail "$what: the clipboard holds $shown"
        skip=15
        case "$expected" in *.bmp) ;; *) skip=17 ;; esac
        tail -c +15 "$work/pasted.bmp" >"$work/pasted.dib"
        tail -c +$skip "$expected" >"$work/expected.dib"
        cmp -s "$work/pasted.dib" "$work/expected.dib" || fail "$what: CF_DIB differs"
    else
        shown=$(clipread --unicode)
        [ "$shown" = "$expected" ] || fail "$what: the clipboard holds
$shown
instead of
$expected"
    fi
    echo "$name: $what"
}

# A folder as a user has it: the release's two programs, and beside them
# the release's plug-ins of one width ("spi": the 32-bit ones, "sph": the
# 64-bit ones) and a declining fixture of that width, which logs.
folder() {
    dir="$work/$1"
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$release/quorlex.exe" "$release/quorlex64.exe" "$release/"*."$2" "$dir/"
    if [ "$2" = spi ]; then
        cp "$x86/fixtures/none.spi" "$dir/n86.spi"
    else
        cp "$build/fixtures/none.spi" "$dir/n64.sph"
    fi
}

picture="$work/a file 表示 😀.bmp"
cp "$release/samples/sample.bmp" "$picture"
archive="$work/an archive 表示 😀.zip"
cp "$release/samples/sample.zip" "$archive"
. "$root/tests/support/sample_listing.sh"
listing=$(sample_listing "$(windows_path "$archive")")
# Four bytes of a file at an offset as the fixtures log them.
seen_at() {
    python3 -c 'import sys
data = open(sys.argv[1], "rb").read()[int(sys.argv[2]):][:4].ljust(4, b"\0")
print("".join(chr(b) if 0x20 <= b < 0x7F else "." for b in data))' "$1" "$2"
}
# The declining fixture, loaded once (by the partner, the only process of
# its width) and asked about the head and the bytes 128 on.
declined() {
    printf '%s attach\n%s IsSupported %s\n%s IsSupported %s\n%s detach' "$1" "$1" \
        "$(seen_at "$2" 0)" "$1" "$(seen_at "$2" 128)" "$1"
}

for sample in picture archive; do
    if [ $sample = picture ]; then
        file=$picture kind=dib expected=$release/samples/sample.bmp
    else
        file=$archive kind=text expected=$listing
    fi
    folder only32 spi
    check "quorlex64.exe with 32-bit plug-ins only hands the $sample to quorlex.exe" \
        "$work/only32/quorlex64.exe" "$file" 1 "$(declined n86.spi "$file")" $kind "$expected"
    folder only64 sph
    check "quorlex.exe with 64-bit plug-ins only hands the $sample to quorlex64.exe" \
        "$work/only64/quorlex.exe" "$file" 1 "$(declined n64.sph "$file")" $kind "$expected"
done

# A partner's worker is replaced like the program's own: a 32-bit plug-in
# that faults in its support test, before the 32-bit BMP plug-in, fails
# that call only, and the next worker of the partner's width goes on.
# ExitProcess says goodbye to the plug-ins it ends with.
for fixture in "faultsupp:faults:" "exit:ends the process:
f86.spi detach"; do
    what=${fixture#*:}
    folder only32 spi
    cp "$x86/fixtures/${fixture%%:*}.spi" "$work/only32/f86.spi"
    check "quorlex64.exe: a plug-in of the partner's that ${what%%:*} is passed over" \
        "$work/only32/quorlex64.exe" "$picture" 1 "f86.spi attach
f86.spi IsSupported $(seen_at "$picture" 0)${what#*:}
$(declined n86.spi "$picture")" dib "$release/samples/sample.bmp"
done

# A folder where an image fixture of each width takes the file: the
# program's own width's is asked and takes it; the other's is never loaded.
mkdir -p "$work/mixed"
cp "$release/quorlex.exe" "$release/quorlex64.exe" "$work/mixed/"
cp "$x86/fixtures/img.spi" "$work/mixed/i86.spi"
cp "$build/fixtures/img.spi" "$work/mixed/i64.sph"
container="$work/picture.fxpc"
printf 'FXPC\0\0\0\0\50\0\0\0\10\0\0\0' >"$container"
printf '\50\0\0\0\2\0\0\0\1\0\0\0\1\0\30\0' >>"$container"
head -c 24 /dev/zero >>"$container"
printf 'abcdefgh' >>"$container"
for fixture in i86.spi:quorlex.exe i64.sph:quorlex64.exe; do
    plugin=${fixture%%:*} program=${fixture#*:}
    check "$program in a folder of both widths: its own width's plug-in takes the file" \
        "$work/mixed/$program" "$container" 1 "$plugin attach
$plugin IsSupported FXPC
$plugin GetPicture 0
$plugin detach" dib "$container"
done
