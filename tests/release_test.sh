#!/bin/sh
# The release as a Windows user meets it, in this build tree's lane (the x64
# program under wine64, the x86 one under 32-bit Wine): two zips from the
# same commit are the same bytes; the unpacked files match their sums, have
# Windows line ends and are the files the read-me lists; in a fresh Wine
# prefix with no registered plug-in folder, the packed program puts each
# packed sample on the clipboard exactly.
# Usage (inside tools/wine-session.sh): tests/release_test.sh BUILD_DIR
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$build/wine-env.sh"
WINEDEBUG=-all
work="$build/release-test"
rm -rf "$work"
mkdir -p "$work"

fail() {
    echo "release test: $*"
    exit 1
}
windows_path() {
    printf 'Z:%s' "$1" | tr '/' '\\'
}

zip=$(sh "$root/tools/dist.sh" "$work/first") || fail "tools/dist.sh failed"
again=$(sh "$root/tools/dist.sh" "$work/second") || fail "tools/dist.sh failed the second time"
cmp "$zip" "$again" || fail "two zips of one commit differ"
(cd "$work" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
unpacked="$work/Quorlex"
[ -d "$unpacked" ] || fail "the zip holds no Quorlex folder: $(unzip -Z1 "$zip" | head -n 3)"
(cd "$unpacked" && tr -d '\r' <SHA256SUMS.txt | sha256sum --quiet -c -) ||
    fail "the files do not match SHA256SUMS.txt"

cr=$(printf '\r')
for text in README.txt LICENSE.txt SHA256SUMS.txt; do
    lines=$(grep -c '' "$unpacked/$text")
    crlf=$(grep -c "$cr\$" "$unpacked/$text")
    [ "$lines" -eq "$crlf" ] || fail "$text: $crlf of $lines lines end with CR LF"
done

# The read-me lists the zip's files in each language's section.
zipped=$(unzip -Z1 "$zip" | sed -n 's|^Quorlex/\(.*[^/]\)$|\1|p' | LC_ALL=C sort)
for heading in '^■ 同梱物' '^\* Files'; do
    listed=$(tr -d '\r' <"$unpacked/README.txt" | sed -n "/$heading/,/^\$/p" | sed '1d;/^$/d' |
        awk '{ print $1 }' | tr '\\' '/' | LC_ALL=C sort)
    [ "$listed" = "$zipped" ] || fail "the read-me ($heading) lists
$listed
but the zip holds
$zipped"
done

# Each program's version record names the program and carries the licence's
# copyright line, in a block marked English.
copyright=$(grep -m 1 '^Copyright' "$root/LICENSE")
for exe in quorlex quorlex64; do
    python3 - "$unpacked/$exe.exe" "$exe" "$copyright" <<'PYTHON' || fail "$exe.exe: its version record"
import sys

data = open(sys.argv[1], "rb").read()
for key, value in (("OriginalFilename", sys.argv[2] + ".exe"), ("InternalName", sys.argv[2]),
                   ("LegalCopyright", sys.argv[3]), ("040904B0", None)):
    text = key.encode("utf-16-le") + b"\0\0"
    at = data.find(text)
    assert at >= 0, f"no {key}"
    if value is not None:
        start = at + len(text) + (at + len(text)) % 4
        found = data[start:].split(b"\0\0")[0]
        found = (found + b"\0").decode("utf-16-le")
        assert found == value, f"{key} is {found!r}, not {value!r}"
PYTHON
done

# A Windows user's first run: a fresh prefix, no plug-in folder registered.
if [ -n "$QX_WINE32" ]; then
    program=quorlex.exe
else
    program=quorlex64.exe
fi
WINEPREFIX="$work/prefix"
export WINEPREFIX
# Making a prefix on a loaded machine now and then fails: it is tried again
# from scratch, and Wine's own words are kept for the last try.
for try in 1 2 3; do
    rm -rf "$WINEPREFIX"
    qx_wine wineboot -i >"$work/wineboot.txt" 2>&1 </dev/null && break
    $WINESERVER -k >/dev/null 2>&1
    [ "$try" -lt 3 ] || fail "no fresh Wine prefix: $(tail -n 5 "$work/wineboot.txt")"
done
$WINESERVER -p >/dev/null 2>&1 </dev/null
trap '$WINESERVER -k >/dev/null 2>&1' EXIT
# As in the test session: one window owner keeps the clipboard's process up.
qx_wine "$build/bin/holder.exe" >/dev/null 2>&1 </dev/null &
if qx_wine reg query 'HKCU\Software\Morvenko\Susie\Plug-in' >/dev/null 2>&1; then
    fail "the fresh prefix has a registered plug-in folder"
fi

shown() {
    qx_wine "$build/bin/clipread.exe" "$(windows_path "$work/pasted.bmp")" | tr -d '\r'
}

qx_wine "$unpacked/$program" "$(windows_path "$unpacked/samples/sample.bmp")"
status=$?
[ "$status" -eq 1 ] || fail "$program on sample.bmp ended with $status, not 1"
shown >/dev/null
[ -f "$work/pasted.bmp" ] || fail "$program on sample.bmp: the clipboard holds $(shown)"
# CF_DIB is the bitmap file's bytes after its 14-byte file header.
tail -c +15 "$work/pasted.bmp" >"$work/pasted.dib"
tail -c +15 "$unpacked/samples/sample.bmp" >"$work/sample.dib"
cmp "$work/pasted.dib" "$work/sample.dib" || fail "$program on sample.bmp: CF_DIB differs"

qx_wine "$unpacked/$program" "$(windows_path "$unpacked/samples/sample.zip")"
status=$?
[ "$status" -eq 1 ] || fail "$program on sample.zip ended with $status, not 1"
# What clipread shows after its line on the format and a blank line.
. "$root/tests/support/sample_listing.sh"
expected=$(sample_listing "$(windows_path "$unpacked/samples/sample.zip")")
actual=$(shown | sed '1,2d')
[ "$actual" = "$expected" ] || fail "$program on sample.zip: the clipboard holds
$actual
instead of
$expected"
echo "release test: $(basename "$zip") unpacks to Quorlex, matches its sums and its read-me, and $program puts both samples on the clipboard in a fresh prefix"
