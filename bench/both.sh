#!/bin/sh
# Benchmark of the hand-over between the two programs, in the lane for both
# widths (one win64 prefix running both): each program on the sample
# picture with only the other width's BMP plug-in beside it, which it hands
# to its partner, beside the same program decoding the picture itself.
# Usage (inside tools/wine-session.sh of the x64 tree, the x86 tree built
# beside it): bench/both.sh BUILD_DIR
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
x86="$build/../x86"
if [ "$2" != "--inside" ]; then
    . "$root/tools/lanes.sh"
    missing=$(both_widths_missing)
    if [ -n "$missing" ]; then
        lanes_banner "THE LANE FOR BOTH WIDTHS" "$missing" "The hand-over is not timed."
        exit 77
    fi
    exec sh "$root/tools/wine32-run.sh" --both "$(wine32_dir)" sh "$0" "$1" --inside
fi
. "$build/wine-env.sh"
. "$root/tools/lanes.sh"
WINEDEBUG=-all
work="$build/benchboth"
rm -rf "$work"
mkdir -p "$work"
both_widths_prefix "$build/both-widths-prefix" "$work/wineboot.txt" || exit 1
trap '/usr/lib/wine/wineserver64 -k >/dev/null 2>&1' EXIT
wine=/usr/lib/wine/wine64
sample="$(printf 'Z:%s' "$root/samples/sample.bmp" | tr '/' '\\')"

. "$root/bench/common.sh"
bench_settle $wine "$build/bench/trivial.exe"

echo "both widths in one win64 prefix: $($wine --version 2>/dev/null), $(nproc) cores"
for lane in x64:x86 x86:x64; do
    own=${lane%%:*} other=${lane#*:}
    program=quorlex.exe
    [ "$own" = x64 ] && program=quorlex64.exe
    suffix() { [ "$1" = x64 ] && echo sph || echo spi; }
    for plugin in "$own" "$other"; do
        dir="$work/$own-$plugin"
        mkdir -p "$dir"
        cp "$x86/bin/quorlex.exe" "$dir/quorlex.exe"
        cp "$build/bin/quorlex.exe" "$dir/quorlex64.exe"
        cp "$root/build/$plugin/bin/plugins/qxbmp.$(suffix "$plugin")" "$dir/"
    done
    itself=$(mean_us 5 $wine "$work/$own-$own/$program" "$sample")
    handed=$(mean_us 5 $wine "$work/$own-$other/$program" "$sample")
    awk -v p="$program" -v o="$other" -v a="$itself" -v b="$handed" 'BEGIN {
        printf "%-14s decoding the picture itself        %9.1f ms\n", p, a / 1000
        printf "%-14s handing it to the %s program      %9.1f ms (%+.1f ms)\n", p, o, b / 1000,
            (b - a) / 1000 }'
done
rm -rf "$work"
