#!/usr/bin/env bash
# Benchmarks of paneltool.
#   scripts/bench-paneltool.sh [ini|repair]
# ini: the INI work of a full icon-file repair (counts, both renumberings,
# DESINSTA rewrites, a flush per step) on 2,500 applications x 50 accesses
# with the engine (optimised Linux build), then 100 x 10 through the engine and
# through the Windows profile functions under Wine, with their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-ini}
if [[ $what == ini ]]; then
  nat=build/bench-native win=build/bench-windows
  [[ -f $nat/CMakeCache.txt ]] || cmake --preset release -B "$nat" >/dev/null
  cmake --build "$nat" --target bench_ini -j2
  tmp=$(mktemp -d)
  "$nat/tests/bench_ini" "$tmp" 2500 50
  [[ -f $win/CMakeCache.txt ]] || cmake --preset windows-test -B "$win" >/dev/null
  cmake --build "$win" --target bench_ini -j2
  export KX_WINEPREFIX=$PWD/$win/wineprefix
  xvfb-run -a bash -c '
    export WINEPREFIX=$KX_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [[ -d $WINEPREFIX ]] || { /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1; /usr/lib/wine/wineserver64 -w; }
    /usr/lib/wine/wine64 "$1/tests/bench_ini.exe" "Z:$2" 100 10 profile
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  ' _ "$win" "$tmp"
  rm -rf "$tmp"
fi
if [[ $what == repair ]]; then
  # repair: the whole RepararFicheroIconos with all six options, 2,500
  # applications x 50 accesses (target under 2 s, optimised Linux build), then
  # 100 x 10 with our engine and with the Windows profile functions under Wine.
  nat=build/bench-native win=build/bench-windows
  [[ -f $nat/CMakeCache.txt ]] || cmake --preset release -B "$nat" >/dev/null
  cmake --build "$nat" --target paneltool_bench -j2
  tmp=$(mktemp -d)
  "$nat/tests/paneltool_bench" "$tmp" 2500 50
  [[ -f $win/CMakeCache.txt ]] || cmake --preset windows-test -B "$win" >/dev/null
  cmake --build "$win" --target paneltool_bench -j2
  export KX_WINEPREFIX=$PWD/$win/wineprefix
  xvfb-run -a bash -c '
    export WINEPREFIX=$KX_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [[ -d $WINEPREFIX ]] || { /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1; /usr/lib/wine/wineserver64 -w; }
    a=$(/usr/lib/wine/wine64 "$1/tests/paneltool_bench.exe" "Z:$2" 100 10 | tee /dev/stderr | sed -n "s/.*: \([0-9.]*\) s$/\1/p")
    b=$(/usr/lib/wine/wine64 "$1/tests/paneltool_bench.exe" "Z:$2" 100 10 profile | tee /dev/stderr | sed -n "s/.*: \([0-9.]*\) s$/\1/p")
    awk -v a="$a" -v b="$b" "BEGIN { if (a > 0) printf \"profile functions / INI engine: %.0f x\\n\", b / a }"
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  ' _ "$win" "$tmp"
  rm -rf "$tmp"
fi
