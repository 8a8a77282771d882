#!/bin/sh
# Runs a command to which 32-bit Linux programs, 32-bit Wine among them, are
# runnable: inside a user and mount namespace of its own, a fresh binfmt_misc
# hands i386 ELF files to qemu-i386 (flag F: the interpreter is opened at
# registration), which finds their libraries in the 32-bit root. Needs Linux
# 6.7 or newer; the machine's own binfmt setup is never touched.
# With --both, the namespace also sees the 32-bit Wine's loader as
# /usr/lib/wine/wine, through a read-only overlay on the 64-bit Wine's
# folder: there the 64-bit Wine starts 32-bit programs and the other way
# round, in one win64 prefix.
# Usage: tools/wine32-run.sh [--both] WINE32_DIR command [args...]
both=""
if [ "$1" = "--both" ]; then
    both=1
    shift
fi
dir="$(cd "$1" && pwd)"
shift
QX_BOTH_OVERLAY="${both:+$dir/overlay}"
export QX_BOTH_OVERLAY
QEMU_I386="$dir/qemu/usr/bin/qemu-i386"
QEMU_LD_PREFIX="$dir/root"
export QEMU_I386 QEMU_LD_PREFIX
exec unshare --user --map-root-user --mount sh -c '
binfmt=$(mktemp -d)
mount -t binfmt_misc binfmt_misc "$binfmt" || exit 125
magic="\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00"
mask="\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff"
printf ":qemu-i386:M::%s:%s:%s:F\n" "$magic" "$mask" "$QEMU_I386" >"$binfmt/register" || exit 125
if [ -n "$QX_BOTH_OVERLAY" ]; then
    mount -t overlay overlay -o "lowerdir=/usr/lib/wine:$QX_BOTH_OVERLAY" /usr/lib/wine || exit 125
fi
unset QX_BOTH_OVERLAY
exec "$@"' wine32-run "$@"
