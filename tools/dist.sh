#!/bin/sh
# Writes the release a Windows user unpacks: OUT_DIR/quorlex-<version>.zip,
# one folder "Quorlex" holding both programs side by side (quorlex.exe for
# x86, quorlex64.exe for x64) with the shipped plug-ins (*.spi 32-bit,
# *.sph 64-bit), the samples, a read-me in Japanese and English, the
# licence and the files' SHA-256 sums. Texts have Windows line ends. The
# same commit gives the same bytes: the programs carry no time stamps, and
# every file in the zip carries the commit's time.
# Usage: tools/dist.sh OUT_DIR (after both targets are built)
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$1"
out="$(cd "$1" && pwd)"
version=$(head -n 1 "$root/VERSION")
name="quorlex-$version"
top=Quorlex
stage="$out/stage/$top"
when=$(TZ=UTC git -C "$root" log -1 --format=%cd --date=format-local:'%Y-%m-%d %H:%M:%S UTC' 2>/dev/null || echo '2026-01-01 00:00:00 UTC')

crlf() {
    sed 's/\r*$/\r/'
}

rm -rf "$out/stage"
mkdir -p "$stage/samples"
cp "$root/build/x86/bin/quorlex.exe" "$stage/quorlex.exe"
cp "$root/build/x64/bin/quorlex.exe" "$stage/quorlex64.exe"
cp "$root/build/x86/bin/plugins/"*.spi "$root/build/x64/bin/plugins/"*.sph "$stage/"
cp "$root/samples/sample.bmp" "$root/samples/sample.zip" "$stage/samples/"
# The read-me in UTF-8 with its BOM, which Notepad reads as UTF-8.
{
    printf '\357\273\277'
    sed "s/@VERSION@/$version/" "$root/dist-files/README.txt"
} | crlf >"$stage/README.txt"
crlf <"$root/LICENSE" >"$stage/LICENSE.txt"
(cd "$stage" && find . -type f ! -name SHA256SUMS.txt | sed 's|^\./||' | LC_ALL=C sort |
    xargs sha256sum | crlf >SHA256SUMS.txt)

find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "$when" {} +
rm -f "$out/$name.zip"
# zip -X stores no owner and no extra times, only each file's time and name.
(cd "$out/stage" && find "$top" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q "$out/$name.zip" -@)
rm -rf "$out/stage"
echo "$out/$name.zip"
