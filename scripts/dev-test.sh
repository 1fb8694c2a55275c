#!/usr/bin/env bash
# For developers working side by side in one tree: builds only the named test
# targets in a build folder of your own and runs them.
#   scripts/dev-test.sh NAME native  TARGET... [-- GTEST_ARGS...]
#   scripts/dev-test.sh NAME windows TARGET... [-- GTEST_ARGS...]
# NAME picks the folders build/NAME-native or build/NAME-windows; "windows"
# runs the 64-bit test build under Wine in Xvfb with a prefix of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1 kind=$2
shift 2
targets=()
while (($#)) && [[ $1 != -- ]]; do targets+=("$1"); shift; done
[[ ${1:-} == -- ]] && shift
case $kind in
  native) preset=native ;;
  windows) preset=windows-test ;;
  *) echo "kind must be native or windows" >&2; exit 2 ;;
esac
dir=build/$name-$kind
[[ -f $dir/CMakeCache.txt ]] || cmake --preset "$preset" -B "$dir" >/dev/null
cmake --build "$dir" -j "${KX_JOBS:-2}" --target "${targets[@]}"
rc=0
if [[ $kind == native ]]; then
  for t in "${targets[@]}"; do
    exe=$(find "$dir" -name "$t" -type f -perm -u+x | head -1)
    [[ -n $exe ]] && { "$exe" "$@" || rc=1; }
  done
else
  export KX_WINEPREFIX=$PWD/$dir/wineprefix
  TARGETS="${targets[*]}" xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    export WINEPREFIX=$KX_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [[ -d $WINEPREFIX ]] || { /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1; /usr/lib/wine/wineserver64 -w; }
    dir=$1; shift
    rc=0
    for t in $TARGETS; do
      exe=$(find "$dir" -name "$t.exe" -type f | head -1)
      [[ -n $exe ]] && { /usr/lib/wine/wine64 "$exe" "$@" || rc=1; }
    done
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    exit $rc
  ' _ "$dir" "$@" || rc=1
fi
exit $rc
