#!/bin/sh
# Builds the fuzz targets natively with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) against the Win32 stand-in, writes their seed
# corpus, and then either replays the corpus through every target or fuzzes
# each one for a bounded time. Any finding fails the run.
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
           $root/clipboard/place.cpp
           $root/clipboard/png.cpp $root/clipboard/text.cpp"
common="$root/format_plugins/common/spi_file.cpp"
listing="$root/listing/append_text.cpp $root/listing/archive_list.cpp
         $root/listing/columns.cpp $root/listing/slash_path.cpp"

build() {
    target="$1"
    shift
    $cxx $flags $sanitize -o "$out/$target" "$root/fuzz/${target}_fuzz.cpp" "$stand_in" "$@"
}

build bmp "$root/format_plugins/bmp/bmp_spi.cpp" $common $clipboard
build zip "$root/format_plugins/zip/zip_spi.cpp" $common
build dib $clipboard
build listing $listing $clipboard
$cxx $flags -o "$out/make_seeds" "$root/fuzz/make_seeds.cpp"

targets="bmp zip dib listing"
for target in $targets; do
    rm -rf "$out/corpus/$target"
    mkdir -p "$out/corpus/$target" "$out/found/$target"
done
"$out/make_seeds" "$out/corpus"

for target in $targets; do
    if [ "$mode" = fuzz ]; then
        echo "fuzzing $target for $seconds s"
        "$out/$target" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$out/found/$target/" "$out/found/$target" "$out/corpus/$target"
    else
        count=$(ls "$out/corpus/$target" | wc -l)
        "$out/$target" "$out/corpus/$target"/* >"$out/replay-$target.log" 2>&1 ||
            { cat "$out/replay-$target.log"; echo "fuzz replay of $target failed"; exit 1; }
        echo "fuzz replay of $target: $count seeds passed"
    fi
done
