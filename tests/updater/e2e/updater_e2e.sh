#!/usr/bin/env bash
# End-to-end run of updater.exe under Wine on a sample installation: a probe
# in the same prefix reads the progress dialog while the run goes on, three
# screenshots are taken (start, middle, end), and the installation left behind
# is compared file by file with the one the Linux build makes of the same
# sample.
#   updater_e2e.sh UPDATER_EXE PROBE_EXE MKINSTALL_EXE WORK_FOLDER [NATIVE_BUILD]
# NATIVE_BUILD names the Linux build folder whose tools/mkinstall/mkinstall and
# updater/updater make and update the installations; without it the
# installation comes from MKINSTALL_EXE and the comparison is not run.
# Needs KX_WINEPREFIX and an X display (scripts/test.sh runs under xvfb-run).
set -euo pipefail
exe=$1 probe=$2 mkinstall_exe=$3 work=$4 native=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
: "${KX_WINEPREFIX:?KX_WINEPREFIX must name the Wine prefix}"
export WINEPREFIX=$KX_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC
wine=/usr/lib/wine/wine64
[[ -d $WINEPREFIX ]] || { $wine wineboot -i >/dev/null 2>&1; /usr/lib/wine/wineserver64 -w; }
rm -rf "$work"; mkdir -p "$work"
fail=0
# Large enough for the run to last some seconds, so that its middle can be sampled.
companies=6 rows=3000 seed=7
sample=(--companies $companies --journal-rows $rows --seed $seed)
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# 1. The sample installation: twice with the same seed, identical.
if [[ -n $native ]]; then
  mk=$native/tools/mkinstall/mkinstall up=$native/updater/updater
  [[ -x $mk && -x $up ]] || { echo "FAIL: no $mk or $up: build the native half first"; exit 1; }
  "$mk" "$work/A" "${sample[@]}" >/dev/null
  "$mk" "$work/B" "${sample[@]}" >/dev/null
  if diff -r "$work/A" "$work/B" >/dev/null; then echo "ok: two sample installations of one seed are identical"
  else echo "FAIL: mkinstall gives different files for one seed"; diff -r "$work/A" "$work/B" | head -5; fail=1; fi
  # The Linux run on A; the link settings' drive X: is A itself.
  if env UPDATER_DRIVE_X="$work/A" "$up" "$work/A/DBF" KX >"$work/native_run.txt" 2>&1; then echo "ok: Linux run"
  else echo "FAIL: Linux run, exit code $?"; cat "$work/native_run.txt"; fail=1; fi
else
  echo "(no native build given: the installation comes from mkinstall.exe, the comparison with the Linux run is not run)"
  $wine "$mkinstall_exe" "$(winpath "$work/B")" "${sample[@]}" >/dev/null
fi
/usr/bin/python3 "$here/check_samples.py" --companies "$work/B/DBF/Empresa.dbf" >"$work/companies.txt"

# 2. The Windows run on B, drive X: of the prefix pointing at B.
ln -sfn "$work/B" "$WINEPREFIX/dosdevices/x:"
root=$(winpath "$work/B")
# The probe marks the middle when the overall meter reaches half the companies
# and the end when it reaches the last one.
$wine "$probe" "$(winpath "$work/probe.log")" 60 $(((companies + 1) / 2)) $companies &
probe_pid=$!
sleep 1
$wine "$exe" "$root\\DBF" KX &
pid=$!
declare -A shot=()
while kill -0 $pid 2>/dev/null; do
  for phase in start middle end; do
    if [[ -z ${shot[$phase]:-} ]] && grep -q "^phase $phase" "$work/probe.log" 2>/dev/null; then
      import -window root "$work/$phase.png" 2>/dev/null || true
      shot[$phase]=1
    fi
  done
  sleep 0.05
done
rc=0; wait $pid || rc=$?
if [[ $rc == 0 ]]; then echo "ok: updater.exe ends by itself with exit code 0"; else echo "FAIL: updater.exe exit code $rc"; fail=1; fi
prc=0; wait $probe_pid || prc=$?
[[ $prc == 0 ]] || { echo "FAIL: the probe saw no progress dialog"; fail=1; }
for phase in start middle end; do
  [[ -n ${shot[$phase]:-} ]] && echo "ok: screenshot $phase.png" || { echo "FAIL: no screenshot at the $phase"; fail=1; }
done
/usr/bin/python3 "$here/check_samples.py" "$work/probe.log" "$root" "$work/companies.txt" || fail=1

# 3. Both runs leave the same files, byte for byte.
if [[ -n $native ]]; then
  (cd "$work/A" && find . -type f | LC_ALL=C sort) >"$work/files_A.txt"
  (cd "$work/B" && find . -type f | LC_ALL=C sort) >"$work/files_B.txt"
  if ! diff "$work/files_A.txt" "$work/files_B.txt" >"$work/files.diff"; then
    echo "FAIL: the two runs leave different files (< Linux, > Windows):"; head -10 "$work/files.diff"; fail=1
  else
    first=
    while read -r f; do
      if ! out=$(cmp "$work/A/$f" "$work/B/$f" 2>&1); then first="$f: $out"; break; fi
    done <"$work/files_A.txt"
    if [[ -z $first ]]; then echo "ok: $(wc -l <"$work/files_A.txt") files identical after the Linux and the Windows run"
    else echo "FAIL: first difference: $first"; fail=1; fi
  fi
fi
exit $fail
