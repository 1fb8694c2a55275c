#!/usr/bin/env bash
# Benchmark of the table engine (optimised build): refill of a table of
# 1,000,000 records of about 200 bytes with three tags and a memo in 1% of the
# records from its backup, against copying the refilled files with the
# platform copy; then walks in tag order and seeks.
#   scripts/bench-tables.sh [RECORDS]
set -euo pipefail
cd "$(dirname "$0")/.."
# KX_BUILD names another optimised build folder to use instead of build/release.
b=${KX_BUILD:-build/release}
[[ -f $b/CMakeCache.txt ]] || cmake --preset release -B "$b" >/dev/null
cmake --build "$b" --target bench_tables -j2 >/dev/null
work=$(mktemp -d /tmp/kx-bench-tables.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$b/tests/bench_tables" "$work" "${1:-1000000}"
