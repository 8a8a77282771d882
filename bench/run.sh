#!/bin/sh
# Benchmark of a build tree's program on this machine (x64 under wine64, x86
# under 32-bit Wine in the x86 lane): each figure is the mean wall time of
# whole runs, and its ratio to the floor (a Windows program of the same
# target that does nothing).
# Usage (inside tools/wine-session.sh): bench/run.sh BUILD_DIR
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$build/wine-env.sh"
WINEDEBUG=-all
wine=qx_wine
work="$build/benchwork"
key='HKCU\Software\Morvenko\Susie\Plug-in'

win() {
    printf 'Z:%s' "$1" | tr '/' '\\'
}

. "$root/bench/common.sh"

report() {
    awk -v name="$1" -v us="$2" -v floor="$floor" \
        'BEGIN { printf "%-46s %9.1f ms  %6.2f x floor\n", name, us / 1000, us / floor }'
}

# A little-endian 32-bit word as bytes.
le32() {
    v=$1
    for _ in 1 2 3 4; do
        printf "\\$(printf %03o $((v % 256)))"
        v=$((v / 256))
    done
}

rm -rf "$work"
mkdir -p "$work/prog" "$work/reg"
cp "$build/bin/quorlex.exe" "$work/prog/"
cp "$build/bin/plugins/"qxbmp.sp[ih] "$work/reg/"
$wine reg add "$key" /v Path /t REG_SZ /d "$(win "$work/reg")" /f >/dev/null 2>&1
sample="$(win "$root/samples/sample.bmp")"

bench_settle $wine "$build/bench/trivial.exe"
floor=$(mean_us 20 $wine "$build/bench/trivial.exe")
echo "$(basename "$build"): $($wine --version 2>/dev/null), $(nproc) cores"
report "(a) floor: a program that does nothing" "$floor"
us=$(mean_us 20 $wine "$work/prog/quorlex.exe")
report "    the program with an empty command line" "$us"

# The hop: a do-nothing program that starts a do-nothing program and waits
# for it, less the floor: what one process start adds to a run. Medians of
# runs taken in turn, as for the worker below.
set -- $(pair_us 21 "$wine '$build/bench/hop.exe'" "$wine '$build/bench/trivial.exe'")
hop=$(($1 - $2))
report "(a) the hop: a start of a program that does nothing" "$hop"

cp "$build/bench/quorlex_inprocess.exe" "$work/prog/"
set -- $(pair_us 21 "$wine '$work/prog/quorlex.exe' '$sample'" \
    "$wine '$work/prog/quorlex_inprocess.exe' '$sample'")
one=$1
inproc=$2
report "(b) small picture, 1 plug-in (median)" "$one"
report "    the same asked in the run's own process (median)" "$inproc"
awk -v a="$one" -v b="$inproc" -v hop="$hop" \
    'BEGIN { printf "    the worker: %.1f ms, %.2f x the hop (goal <= 1.10)\n", (a - b) / 1000, (a - b) / hop }'
rm -f "$work/prog/quorlex_inprocess.exe"

# A plug-in that faults in its support test before the BMP one: one worker
# replaced. Beside the programs (asked before the registered folder), in
# turn with the BMP plug-in alone.
mkdir -p "$work/faulting" "$work/alone"
cp "$build/bin/quorlex.exe" "$build/bin/plugins/"qxbmp.sp[ih] "$work/faulting/"
cp "$build/bin/quorlex.exe" "$build/bin/plugins/"qxbmp.sp[ih] "$work/alone/"
cp "$build/fixtures/faultsupp.spi" "$work/faulting/a.spi"
set -- $(pair_us 21 "$wine '$work/faulting/quorlex.exe' '$sample'" \
    "$wine '$work/alone/quorlex.exe' '$sample'")
rm -rf "$work/faulting" "$work/alone"
report "(b) a plug-in that faults, then the BMP one (median)" "$1"
awk -v a="$1" -v b="$2" -v hop="$hop" \
    'BEGIN { printf "    above the BMP one alone: %.1f ms, %.2f x the hop (goal <= 1.20)\n", (a - b) / 1000, (a - b) / hop }'

# A folder of declining plug-ins and the BMP plug-in, asked by name: before
# it (d*) or after it (z*), named like it (*.sph for x64, whose *.spi come
# first). Beside each, the floor: a plain program that loads, asks and frees
# the same files once.
suffix=$(ls "$work/reg" | sed -n 's/^qxbmp//p')
declining() {
    rm -f "$work"/reg/[dz]*.sp[ih]
    i=0
    while [ $i -lt "$2" ]; do
        i=$((i + 1))
        cp "$build/fixtures/none.spi" "$work/reg/$1$(printf %04d $i)$suffix"
    done
}
for n in 100 200 400; do
    declining d $n
    us=$(mean_us 5 $wine "$work/prog/quorlex.exe" "$sample")
    floor_us=$(mean_us 5 $wine "$build/bench/loadfloor.exe" "$(win "$work/reg")" "$sample")
    report "(b) $n declining plug-ins, then the BMP one" "$us"
    report "    floor: load, ask and free each once" "$floor_us"
    awk -v a="$us" -v b="$floor_us" -v hop="$hop" \
        'BEGIN { printf "    program / (floor + hop): %.2f (goal <= 1.25)\n", a / (b + hop) }'
done
# What the 400 runs' debug lines cost when nobody listens (one per plug-in).
set -- $(pair_us 11 "$wine '$build/bench/debuglines.exe'" "$wine '$build/bench/trivial.exe'")
lines=$(($1 - $2))
report "    its 400 debug lines, nobody listening" "$lines"
awk -v a="$lines" -v b="$us" 'BEGIN { printf "    / the 400-plug-in run: %.1f %% (goal <= 2 %%)\n", 100 * a / b }'
declining z 400
us=$(mean_us 5 $wine "$work/prog/quorlex.exe" "$sample")
report "(b) the BMP plug-in, then 400 declining ones" "$us"
awk -v a="$us" -v b="$one" 'BEGIN { printf "    / the 1-plug-in run: %.2f\n", a / b }'

# The other width's plug-ins: copies of a declining one whose header says
# the other width, which the program reads and never loads.
other_width() {
    python3 - "$build/fixtures/none.spi" "$work/reg" "$1" <<'PYTHON'
import struct
import sys

data = bytearray(open(sys.argv[1], "rb").read())
at = struct.unpack_from("<I", data, 0x3C)[0] + 4
machine = struct.unpack_from("<H", data, at)[0]
struct.pack_into("<H", data, at, 0x8664 if machine == 0x14C else 0x14C)
for i in range(int(sys.argv[3])):
    open(f"{sys.argv[2]}/o{i + 1:04d}.spi", "wb").write(data)
PYTHON
}
rm -f "$work"/reg/[dz]*.sp[ih]
other_width 100
us=$(mean_us 5 $wine "$work/prog/quorlex.exe" "$sample")
report "(b) 100 plug-ins of the other width, then the BMP one" "$us"
awk -v a="$us" -v b="$one" 'BEGIN { printf "    / the 1-plug-in run: %.2f\n", a / b }'
rm -f "$work"/reg/o*.spi

# A file no plug-in takes, in a folder of 100 declining ones: each loaded
# once and asked about the head and the bytes 128 on.
declining d 100
printf 'no plug-in takes this file' >"$work/none.dat"
us=$(mean_us 5 $wine "$work/prog/quorlex.exe" "$(win "$work/none.dat")")
floor_us=$(mean_us 5 $wine "$build/bench/loadfloor.exe" "$(win "$work/reg")" "$(win "$work/none.dat")")
report "(b) a file none of 100 declining plug-ins takes" "$us"
report "    floor: load, ask and free each once" "$floor_us"
awk -v a="$us" -v b="$floor_us" 'BEGIN { printf "    program / floor: %.2f\n", a / b }'

rm -f "$work"/reg/[dz]*.sp[ih]

# Plug-ins that misbehave, each before the BMP one, against the same run
# with one that declines: each costs at most the limit of the call it is in
# (5 s for a load or a support test) and a worker's start.
cp "$build/fixtures/none.spi" "$work/reg/a.spi"
declined=$(mean_us 3 $wine "$work/prog/quorlex.exe" "$sample")
report "(e) a declining plug-in, then the BMP one" "$declined"
for fixture in faultsupp throw overflow heaplock fastfail failfast exit abort attachfaults \
    endless attachendless; do
    cp "$build/fixtures/$fixture.spi" "$work/reg/a.spi"
    us=$(mean_us 1 $wine "$work/prog/quorlex.exe" "$sample")
    awk -v name="$fixture" -v a="$us" -v b="$declined" \
        'BEGIN { printf "    %-16s %9.1f ms, %+8.1f ms beside the declining one\n", name, a / 1000, (a - b) / 1000 }'
done
rm -f "$work/reg/a.spi"

big="$work/big.bmp"
$wine "$build/bench/bigcopy.exe" make "$(win "$big")"
us=$(mean_us 3 $wine "$work/prog/quorlex.exe" "$(win "$big")")
report "(c) 8192x8192 32-bit picture (256 MiB)" "$us"
us=$(mean_us 3 $wine "$build/bench/bigcopy.exe" copy "$(win "$big")")
report "(c) plain copy of the same bytes" "$us"
us=$(mean_us 3 $wine "$build/bench/bigcopy.exe" place "$(win "$big")")
report "(c) plain copy placed on the clipboard" "$us"
$wine "$build/bench/bigcopy.exe" opaque "$(win "$big")"
opaque=$(mean_us 3 $wine "$work/prog/quorlex.exe" "$(win "$big")")
report "(c) the same picture opaque (CF_DIB)" "$opaque"
$wine "$build/bench/bigcopy.exe" alpha "$(win "$big")"
us=$(mean_us 3 $wine "$work/prog/quorlex.exe" "$(win "$big")")
report "(c) the same picture with alpha (+ CF_DIBV5, PNG)" "$us"
awk -v a="$us" -v b="$opaque" 'BEGIN { printf "    with alpha / opaque: %.2f\n", a / b }'
rm -f "$big"

if [ -f "$build/fixtures/arc.spi" ]; then
    rm -f "$work"/reg/*.spi
    cp "$build/fixtures/arc.spi" "$work/reg/"
    for n in 1000 10000 100000; do
        { printf 'FXAR'; le32 1; le32 $n; } >"$work/list.fxar"
        us=$(mean_us 5 $wine "$work/prog/quorlex.exe" "$(win "$work/list.fxar")")
        report "(d) listing of $n entries" "$us"
        awk -v n=$n -v us="$us" -v floor="$floor" \
            'BEGIN { printf "    per entry above the floor: %.3f us\n", (us - floor) / n }'
    done
fi
$wine reg delete "$key" /f >/dev/null 2>&1
rm -rf "$work"
