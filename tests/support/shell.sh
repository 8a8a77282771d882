# What the shell tests share, sourced once `build` (the build tree) and
# `name` (the test's) are set: the tree's Wine, quiet; a fresh work folder,
# $build/$name; Windows paths of Unix ones; failing with the test's name.
. "$build/wine-env.sh"
WINEDEBUG=-all
work="$build/$name"
rm -rf "$work"
mkdir -p "$work"

fail() {
    echo "$name: $*"
    exit 1
}
windows_path() {
    printf 'Z:%s' "$1" | tr '/' '\\'
}
