#!/bin/sh
# The demo: registers the shipped plug-in folder, runs the build tree's
# program (x64 or x86) under its Wine on one file, then reads the clipboard
# back and shows what landed.
# Usage (inside tools/wine-session.sh): tools/demo.sh BUILD_DIR FILE
build="$(cd "$1" && pwd)"
file="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
. "$build/wine-env.sh"
WINEDEBUG=-all

windows_path() {
    printf 'Z:%s' "$1" | tr '/' '\\'
}

if [ ! -f "$file" ]; then
    echo "no such file: $2"
    exit 1
fi
qx_wine reg add 'HKCU\Software\Morvenko\Susie\Plug-in' /v Path /t REG_SZ \
    /d "$(windows_path "$build/bin/plugins")" /f >/dev/null 2>&1
printf 'plug-in folder: %s\n' "$(windows_path "$build/bin/plugins")"
printf 'running:        quorlex.exe %s\n' "$(windows_path "$file")"
qx_wine "$build/bin/quorlex.exe" "$(windows_path "$file")"
echo "exit code:      $?"
echo
out="$build/demo-clipboard.bmp"
rm -f "$out"
qx_wine "$build/bin/clipread.exe" "$(windows_path "$out")" | tr -d '\r' |
    sed "s|written: .*|written: $out|"
