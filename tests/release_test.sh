#!/bin/sh
# The release as a Windows user gets it, run in the x86 lane: two zips from
# the same commit are the same bytes; the unpacked files match their sums;
# the packed x86 program, with the packed plug-in folder registered, puts the
# sample picture on the clipboard.
# Usage (inside tools/wine-session.sh): tests/release_test.sh X86_BUILD_DIR
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$build/wine-env.sh"
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
unpacked="$work/$(basename "$zip" .zip)"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "the files do not match SHA256SUMS"

qx_wine reg add 'HKCU\Software\Morvenko\Susie\Plug-in' /v Path /t REG_SZ \
    /d "$(windows_path "$unpacked/x86/plugins")" /f >/dev/null 2>&1 || fail "reg add failed"
qx_wine "$unpacked/x86/quorlex.exe" "$(windows_path "$root/samples/sample.bmp")"
status=$?
[ "$status" -eq 1 ] || fail "the packed program ended with $status, not 1"
shown=$(qx_wine "$build/bin/clipread.exe" "$(windows_path "$work/pasted.bmp")" | tr -d '\r')
expected="format:  CF_DIB, 28840 bytes
width:   120
height:  80
bits:    24"
[ "$(printf '%s\n' "$shown" | head -n 4)" = "$expected" ] ||
    fail "the clipboard holds: $shown"
echo "release test: $(basename "$zip") unpacks, matches its sums and puts the sample on the clipboard"
