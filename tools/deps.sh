#!/bin/sh
# Installs the Debian packages the build and the tests need, when missing.
# Run as root on Debian 12; does nothing when everything is there.
set -e
missing=""
for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "missing Debian packages:$missing (install them as root)" >&2
    exit 1
fi
echo "installing:$missing"
# One suite's index may disagree with its Release file while the mirror
# syncs: a list that fails is a warning, and the install decides.
apt-get update -qq || echo "deps: not every package list downloaded; installing from the rest" >&2
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
