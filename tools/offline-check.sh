#!/bin/sh
# The way CI meets a machine without the x86 lane: a fresh clone of this
# repository's HEAD, an empty lane cache, and no network (a network
# namespace of its own, as root). `make test` must end with 0 after the
# banners, having run the whole x64 suite, the fuzz replay and the x86
# footprint check. The Debian packages the build needs must be installed
# already (`make deps`): without a network nothing can install them.
# Usage: tools/offline-check.sh [WORK_DIR]
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-$(mktemp -d)}"
mkdir -p "$work"
rm -rf "$work/clone" "$work/cache"
git clone -q "$root" "$work/clone"
mkdir "$work/cache"
echo "offline check: a fresh clone in $work/clone, an empty cache, no network"
start=$(date +%s)
status=0
QUORLEX_CACHE="$work/cache" unshare --net make -C "$work/clone" test >"$work/make-test.log" 2>&1 ||
    status=$?
echo "offline check: make test ended with $status after $(($(date +%s) - start)) s" \
    "(its output: $work/make-test.log)"
grep -E 'CANNOT RUN|tests passed|footprint|bytes, ' "$work/make-test.log" || true
[ "$status" -eq 0 ] && [ -z "$(ls -A "$work/cache" | grep wine32-)" ]
