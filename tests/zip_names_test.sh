#!/bin/sh
# ZIP entry names as their writers meant them, in archives written by
# Python's zipfile, listed by the shipped ZIP plug-in through the program
# under code page 1252 (OEM code page 437), and read back as the text a
# reader sees (CF_UNICODETEXT, in UTF-8, from the plug-in's wide records):
# every name keeps its characters; names without the UTF-8 flag are
# OEM text when the "version made by" host is MS-DOS (0), OS/2 HPFS (6),
# NTFS (10 in PKWARE's note, 11 in Info-ZIP's list) or VFAT (14), and ANSI
# text from any other host.
# Usage (inside tools/wine-session.sh): tests/zip_names_test.sh BUILD_DIR
build="$(cd "$1" && pwd)"
name="zip names test"
. "$(dirname "$0")/support/shell.sh"
LC_ALL=C.UTF-8
export LC_ALL
trap 'rm -rf "$work"' EXIT
# The plug-in beside the program: no registered folder is needed.
cp "$build/bin/quorlex.exe" "$build/bin/plugins/"qxzip.sp? "$work/"

# Lists an archive; the name its entry line shows, after its CRC column.
listed_name() {
    qx_wine "$work/quorlex.exe" "$(windows_path "$1")"
    status=$?
    [ "$status" -eq 1 ] || fail "$2: the program ended with $status"
    qx_wine "$build/bin/clipread.exe" --unicode | tr -d '\r' |
        sed -n 's/^.*  [0-9A-F]\{4,8\}  \(.*\)$/\1/p'
}

# host, how the name is stored, the name as the archive's writer meant it,
# and the name a reader sees in the listing.
cases='0 cp437 café/Ärger.txt café/Ärger.txt
6 cp437 naïve/ß.txt naïve/ß.txt
10 cp437 Ärger/Übersicht.txt Ärger/Übersicht.txt
11 cp437 Übersicht/ñandú.txt Übersicht/ñandú.txt
14 cp437 Ölpreis.txt Ölpreis.txt
3 cp437 café.txt caf‚.txt
3 cp1252 café.txt café.txt
3 utf-8 日本/naïve.txt 日本/naïve.txt'

printf '%s\n' "$cases" | while read -r host stored meant shown; do
    python3 - "$work/case.zip" "$host" "$stored" "$meant" <<'PYTHON' || exit 1
import sys
import zipfile

path, host, stored, name = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]


class Info(zipfile.ZipInfo):
    # The name in the given encoding, without the UTF-8 flag, as archivers
    # that predate it store names; "utf-8" keeps zipfile's own rule.
    def _encodeFilenameFlags(self):
        if stored == "utf-8":
            return super()._encodeFilenameFlags()
        return self.filename.encode(stored), self.flag_bits


with zipfile.ZipFile(path, "w") as archive:
    info = Info(name, date_time=(2024, 5, 17, 10, 30, 0))
    info.create_system = host
    archive.writestr(info, b"data")
PYTHON
    listed=$(listed_name "$work/case.zip" "host $host, $stored $meant") || exit 1
    [ "$listed" = "$shown" ] || fail "host $host, $stored \"$meant\": listed as \"$listed\", not \"$shown\""
    echo "$name: host $host, $stored \"$meant\" lists as \"$shown\""
done

# An entry nested deeper than the record's path field holds: 852 bytes of
# folders, then its file name. The listing shows as much of the folders as
# the field holds and the whole file name, as Python's zipfile reads them.
python3 - "$work/case.zip" <<'PYTHON' || exit 1
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1], "w") as archive:
    archive.writestr("/".join(["f" * 70] * 12) + "/report.txt", b"data")
PYTHON
shown=$(python3 - "$work/case.zip" <<'PYTHON'
import sys
import zipfile

folders, _, name = zipfile.ZipFile(sys.argv[1]).namelist()[0].rpartition("/")
print((folders + "/")[:199] + name)
PYTHON
)
listed=$(listed_name "$work/case.zip" "nested entry") || exit 1
[ "$listed" = "$shown" ] || fail "nested entry: listed as \"$listed\", not \"$shown\""
echo "$name: a nested entry lists as \"...${shown#"${shown%??????????????????????}"}\""
