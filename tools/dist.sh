#!/bin/sh
# Writes the release a Windows user unpacks: OUT_DIR/quorlex-<version>.zip
# with the x86 program and its plug-ins, the x64 program and its plug-ins,
# a read-me in Japanese and English, a .reg file that sets the plug-in
# folder, the licence and the files' SHA-256 sums. The same commit gives the
# same bytes: the programs carry no time stamps, and every file in the zip
# carries the commit's time.
# Usage: tools/dist.sh OUT_DIR (after both targets are built)
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$1"
out="$(cd "$1" && pwd)"
version=$(head -n 1 "$root/VERSION")
name="quorlex-$version"
stage="$out/stage/$name"
when=$(TZ=UTC git -C "$root" log -1 --format=%cd --date=format-local:'%Y-%m-%d %H:%M:%S UTC' 2>/dev/null || echo '2026-01-01 00:00:00 UTC')

rm -rf "$out/stage"
mkdir -p "$stage/x86/plugins" "$stage/x64/plugins"
cp "$root/build/x86/bin/quorlex.exe" "$stage/x86/"
cp "$root/build/x86/bin/plugins/"*.spi "$stage/x86/plugins/"
cp "$root/build/x64/bin/quorlex.exe" "$stage/x64/"
cp "$root/build/x64/bin/plugins/"*.sph "$stage/x64/plugins/"
# Texts for Windows: CRLF line ends; the read-me in UTF-8 with its BOM.
{
    printf '\357\273\277'
    sed "s/@VERSION@/$version/" "$root/dist-files/README.txt"
} | sed 's/$/\r/' >"$stage/README.txt"
sed 's/$/\r/' "$root/dist-files/plugin-folder.reg" >"$stage/plugin-folder.reg"
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
(cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
    xargs sha256sum >SHA256SUMS)

find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "$when" {} +
rm -f "$out/$name.zip"
# zip -X stores no owner and no extra times, only each file's time and name.
(cd "$out/stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q "$out/$name.zip" -@)
rm -rf "$out/stage"
echo "$out/$name.zip"
