#!/bin/sh
# Builds the fuzz targets natively with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) against the Win32 stand-in, in both record
# layouts (x64, and x86's: 428-byte records, 32-bit sizes and times and the
# x86 ratio arithmetic), writes each layout's seed corpus, and then either
# replays every corpus through its targets or fuzzes each target for a
# bounded time. Any finding fails the run.
# Usage: fuzz/run.sh BUILD_DIR replay | fuzz/run.sh BUILD_DIR fuzz SECONDS
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$1"
mode="$2"
seconds="${3:-60}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
cxx=clang++-14
flags="-std=c++17 -g -O1 -Wall -Wextra -Werror -fno-sanitize-recover=all -fshort-wchar
       -I$root/fuzz/win32 -I$root/fuzz -I$root"
sanitize="-fsanitize=fuzzer,address,undefined"
stand_in="$root/fuzz/win32/win32.cpp"
clipboard="$root/clipboard/alpha.cpp $root/clipboard/bitmap.cpp $root/clipboard/checksums.cpp
           $root/clipboard/place.cpp $root/clipboard/png.cpp $root/clipboard/text.cpp"
common="$root/format_plugins/common/spi_file.cpp"
listing="$root/listing/append_text.cpp $root/listing/archive_list.cpp
         $root/listing/columns.cpp $root/listing/slash_path.cpp"
targets="bmp zip dib listing watch"
layouts="x64 x86"

for layout in $layouts; do
    define=""
    [ "$layout" = x86 ] && define="-DQX_FUZZ_X86"
    dir="$out/$layout"
    mkdir -p "$dir"
    build() {
        target="$1"
        shift
        $cxx $flags $define $sanitize -o "$dir/$target" "$root/fuzz/${target}_fuzz.cpp" \
            "$stand_in" "$@"
    }
    build bmp "$root/format_plugins/bmp/bmp_spi.cpp" $common $clipboard
    build zip "$root/format_plugins/zip/zip_spi.cpp" $common
    build dib $clipboard -lz
    build listing $listing $clipboard
    build watch "$root/app/watch_rules.cpp"
    $cxx $flags $define -o "$dir/make_seeds" "$root/fuzz/make_seeds.cpp"
    for target in $targets; do
        rm -rf "$dir/corpus/$target"
        mkdir -p "$dir/corpus/$target" "$dir/found/$target"
    done
    "$dir/make_seeds" "$dir/corpus"
done

for layout in $layouts; do
    dir="$out/$layout"
    for target in $targets; do
        if [ "$mode" = fuzz ]; then
            echo "fuzzing $target ($layout layout) for $seconds s"
            "$dir/$target" -max_total_time="$seconds" -print_final_stats=1 \
                -artifact_prefix="$dir/found/$target/" "$dir/found/$target" "$dir/corpus/$target"
        else
            count=$(ls "$dir/corpus/$target" | wc -l)
            "$dir/$target" "$dir/corpus/$target"/* >"$dir/replay-$target.log" 2>&1 ||
                { cat "$dir/replay-$target.log"; echo "fuzz replay of $target ($layout) failed"; exit 1; }
            echo "fuzz replay of $target ($layout layout): $count seeds passed"
        fi
    done
done
