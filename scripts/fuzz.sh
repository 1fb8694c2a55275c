#!/usr/bin/env bash
# Runs the libFuzzer targets of the table engine's file readers and writers
# (DBF, FPT, CDX) for SECONDS each (default 600), from the committed seed
# corpus. Builds them first in the fuzz preset's folder, or in KX_FUZZ_BUILD
# when set. Crashes land in BUILD/crashes/, the grown corpus in
# BUILD/corpus-TARGET/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     TARGET: dbf fpt cdx (default all)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-600}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(dbf fpt cdx)
build=${KX_FUZZ_BUILD:-build/fuzz}
jobs=${KX_JOBS:-2}
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake --preset fuzz -B "$build" >/dev/null
fi
cmake --build "$build" --target "${targets[@]/%/_fuzz}" -j "$jobs"
mkdir -p "$build/crashes"
rc=0
for t in "${targets[@]}"; do
  work=$build/corpus-$t
  mkdir -p "$work"
  echo "== ${t}_fuzz for ${secs}s"
  "$build/tests/fuzz/${t}_fuzz" -max_total_time="$secs" -max_len=131072 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/crashes/${t}-" "$work" "tests/fuzz/corpus/$t" \
    >"$build/${t}_fuzz.log" 2>&1 || { rc=1; echo "${t}_fuzz failed:"; grep -aE 'ERROR|SUMMARY|oracle|Test unit written' "$build/${t}_fuzz.log" | head -20; }
  grep -aE '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$build/${t}_fuzz.log" | tail -2 || true
done
exit $rc
