#!/usr/bin/env bash
# Makes a sample installation in a temporary folder, runs the updater on it and
# prints, per company, the tables rebuilt, the records kept, the records marked
# and the backups left.
set -euo pipefail
cd "$(dirname "$0")/.."
# KX_BUILD names another optimised build folder to use instead of build/release.
b=${KX_BUILD:-build/release}
[[ -f $b/CMakeCache.txt ]] || cmake --preset release -B "$b" >/dev/null
cmake --build "$b" --target updater mkinstall >/dev/null
root=$(mktemp -d /tmp/kx-demo.XXXXXX)
trap 'rm -rf "$root"' EXIT
mapping=$("$b"/tools/mkinstall/mkinstall "$root" --companies 4 --journal-rows 200)
echo "Sample installation in $root ($mapping)"
# The first word less its last four characters is the root: "$root/DBF" -> "$root".
env "$mapping" "$b"/updater/updater "$root/DBF" KX | cat
