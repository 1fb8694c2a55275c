#!/usr/bin/env bash
# Runs the libFuzzer targets of the file readers for SECONDS each (default
# 600), from the committed seed corpus; crashes land in build/fuzz/crashes/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-600}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target dbf_fuzz fpt_fuzz -j 2
mkdir -p build/fuzz/crashes
rc=0
for t in dbf fpt; do
  work=build/fuzz/corpus-$t
  mkdir -p "$work"
  echo "== ${t}_fuzz for ${secs}s"
  build/fuzz/tests/fuzz/${t}_fuzz -max_total_time="$secs" -max_len=65536 -timeout=10 \
    -artifact_prefix=build/fuzz/crashes/${t}- "$work" tests/fuzz/corpus/$t || rc=1
done
exit $rc
