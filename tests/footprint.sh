#!/bin/sh
# The program is a small GUI-subsystem executable that imports only system
# DLLs: KERNEL32, ADVAPI32 and msvcrt. USER32 is bound by the worker at run
# time, never by the loader: a run does not load it.
objdump="$1"
exe="$2"
fail=0

imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
if [ "$imports" != "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL " ]; then
    echo "imports: $imports"
    fail=1
fi
subsystem=$("$objdump" -p "$exe" | sed -n 's/^Subsystem[[:space:]]*//p')
case "$subsystem" in
    *"(Windows GUI)"*) ;;
    *) echo "subsystem: $subsystem"; fail=1 ;;
esac
size=$(stat -c %s "$exe")
if [ "$size" -gt 40960 ]; then
    echo "size: $size bytes"
    fail=1
fi
echo "$exe: $size bytes, $subsystem, imports $imports (USER32 bound by the worker)"
exit $fail
