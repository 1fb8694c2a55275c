#!/usr/bin/env bash
# The update run on 20 companies with 50,000 journal rows each (optimised
# build); prints the run's time and its ratio to copying the installation's
# files.
set -euo pipefail
cd "$(dirname "$0")/.."
# KX_BUILD names another optimised build folder to use instead of build/release.
b=${KX_BUILD:-build/release}
[[ -f $b/CMakeCache.txt ]] || cmake --preset release -B "$b" >/dev/null
cmake --build "$b" --target updater mkinstall >/dev/null
work=$(mktemp -d /tmp/kx-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/inst"
mapping=$("$b"/tools/mkinstall/mkinstall "$work/inst" --companies 20 --journal-rows 50000)
bytes=$(du -sb "$work/inst" | cut -f1)
t0=$(date +%s.%N)
cp -r "$work/inst" "$work/copy"
sync
t1=$(date +%s.%N)
env "$mapping" "$b"/updater/updater "$work/inst/DBF" KX >/dev/null
sync
t2=$(date +%s.%N)
awk -v c="$(echo "$t1 - $t0" | bc)" -v r="$(echo "$t2 - $t1" | bc)" -v b="$bytes" 'BEGIN {
  printf "installation: %.1f MB\ncopy of its files: %.2f s\nupdate run: %.2f s\nratio run/copy: %.1f\n", b/1e6, c, r, r/c }'
