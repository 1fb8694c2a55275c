#!/usr/bin/env bash
# End-to-end run of paneltool.exe under Wine: a registry fixture with three
# panels (the current one, one with an orphan branch, one without
# applications), panel and application files, the automatic run with and
# without /RELEASE, a second instance, and the results compared with the
# expected files.
#   paneltool_e2e.sh PANELTOOL_EXE WORK_FOLDER
# Needs KX_WINEPREFIX (a 64-bit prefix; fixtures go to the 32-bit registry
# view) and an X display (scripts/test.sh and dev-test.sh run under xvfb-run).
set -euo pipefail
exe=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
: "${KX_WINEPREFIX:?KX_WINEPREFIX must name the Wine prefix}"
export WINEPREFIX=$KX_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC
wine=/usr/lib/wine/wine64
[[ -d $WINEPREFIX ]] || { $wine wineboot -i >/dev/null 2>&1; /usr/lib/wine/wineserver64 -w; }
rm -rf "$work"; mkdir -p "$work"
c=$WINEPREFIX/drive_c
fail=0
check() { if ! cmp -s "$1" "$2"; then echo "FAIL: $3"; diff <(tr -d '\r' <"$1") <(tr -d '\r' <"$2") | head -20 || true; fail=1; else echo "ok: $3"; fi; }

setup() {
  rm -rf "$c/KX"
  mkdir -p "$c/KX/Panel" "$c/KX/Otro" "$c/KX/Vacio" "$c/KX/Apps/Gestion" "$c/KX/Apps/Conta"
  printf 'MZ' >"$c/KX/Panel/VAVU.EXE"
  # 31 December 2007 10:59: the identifier's date part is 1FC7D73B.
  touch -d '2007-12-31 10:59:00 UTC' "$c/KX/Panel/VAVU.EXE"
  printf '1A2B3C4D\r\n' >"$c/KX/Panel/VAVU.TAG"
  cp "$here/ICONOS.INI" "$c/KX/Panel/ICONOS.INI"
  # A large second icon file keeps the wait window up long enough to see it.
  python3 - "$c/KX/Panel/ICONOS_P.INI" <<'PY'
import sys
with open(sys.argv[1], 'w', newline='') as f:
    f.write('[PANEL]\r\nVAVU_INFO=VIEJO\r\n')
    for n in range(1, 2501, 2):
        f.write('[PRINCIPAL_%d]\r\nNOMBRE=APP_%d\r\n' % (n, n))
        for m in range(1, 51, 2):
            f.write('[ACCESO%d_%d]\r\nTITULO=t\r\nID=OLDOLDOL%08d\r\n' % (m, n, m))
PY
  printf 'MZ%s_GRUPO_KX_0123456789ABCDEF0123456789ABCDEF_GRUPO_KX_' "$(head -c 5000 /dev/zero | tr '\0' x)" >"$c/KX/Apps/Gestion/APP.EXE"
  printf 'MZ sin sello' >"$c/KX/Apps/Conta/CONTA.EXE"
  cp "$here/DESINSTA_GESTION.INI" "$c/KX/Apps/Gestion/DESINSTA.INI"
  cp "$here/DESINSTA_CONTA.INI" "$c/KX/Apps/Conta/DESINSTA.INI"
  $wine reg delete 'HKLM\Software\Roroz OR' /f /reg:32 >/dev/null 2>&1 || true
  $wine reg import "$here/panels.reg" /reg:32 >/dev/null 2>&1
}

# The registry branch as `wine reg export` writes it, with only what the export
# adds taken away: UTF-16 with its byte-order mark, CR LF line ends and the
# header line with the blank line after it.
export_branch() {
  $wine reg export 'HKLM\Software\Roroz OR' "$1.reg" /reg:32 /y >/dev/null 2>&1
  iconv -f UTF-16LE -t UTF-8 "$1.reg" | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//' |
    sed '1{/^Windows Registry Editor Version 5\.00$/d}' | sed '/./,$!d' >"$1"
}

# The text of a message box, copied by the box itself (Ctrl+C) and read from
# the clipboard; empty when no clipboard reader is at hand.
box_text() {
  xdotool key --window "$1" ctrl+c 2>/dev/null || true
  sleep 0.5
  if command -v xclip >/dev/null; then
    xclip -o -selection clipboard 2>/dev/null || true
  elif command -v xsel >/dev/null; then
    xsel -o -b 2>/dev/null || true
  else
    python3 -c 'import tkinter; r = tkinter.Tk(); r.withdraw(); print(r.clipboard_get())' 2>/dev/null || true
  fi
}

# Waits for a top-level window whose title holds $1 (up to $2 seconds, 30 by
# default); prints its id.
wait_window() {
  local id
  for _ in $(seq 1 $((${2:-30} * 5))); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# 1. The automatic run: the wait window, then the closing message.
setup
$wine "$exe" &
pid=$!
if id=$(wait_window "Reparador de KX"); then
  sleep 0.5
  import -window root "$work/wait_window.png" || true
  echo "ok: wait window shown"
else
  echo "FAIL: no wait window"; fail=1
fi
# The repair of the large icon file comes first: on a loaded machine it takes minutes.
if id=$(wait_window "Información" 400); then
  import -window root "$work/closing_message.png" || true
  # 2. A second instance while the first one runs ends at once with 0.
  if timeout 60 $wine "$exe"; then echo "ok: second instance ends with 0"; else echo "FAIL: second instance"; fail=1; fi
  xdotool key --window "$id" Return
  echo "ok: closing message shown"
else
  echo "FAIL: no closing message"; fail=1; kill $pid 2>/dev/null || true
fi
wait $pid || { echo "FAIL: exit code $?"; fail=1; }
check "$c/KX/Panel/ICONOS.INI" "$here/expected/ICONOS.INI" "icon file"
check "$c/KX/Apps/Gestion/DESINSTA.INI" "$here/expected/DESINSTA_GESTION.INI" "uninstall file of the panel's application"
check "$c/KX/Apps/Conta/DESINSTA.INI" "$here/DESINSTA_CONTA.INI" "uninstall file of another panel's application"
grep -a -c '^\[PRINCIPAL_' "$c/KX/Panel/ICONOS_P.INI" >/dev/null
[[ $(tr -d '\r' <"$c/KX/Panel/ICONOS_P.INI" | grep -a -m1 '^\[PRINCIPAL_1250\]') ]] && echo "ok: large file renumbered" || { echo "FAIL: large file"; fail=1; }
export_branch "$work/export.txt"
check "$work/export.txt" "$here/expected/export.txt" "registry branch"

# 3. /RELEASE: the same repair without the closing message.
setup
if timeout 400 $wine "$exe" /RELEASE; then echo "ok: /RELEASE ends by itself"; else echo "FAIL: /RELEASE"; fail=1; fi
check "$c/KX/Panel/ICONOS.INI" "$here/expected/ICONOS.INI" "icon file (/RELEASE)"

# 4. The current panel with an orphan branch: refused.
setup
$wine reg add 'HKLM\Software\Roroz OR' /v VAVU_FULLPATH /t REG_SZ /d 'C:\KX\Otro\' /f /reg:32 >/dev/null 2>&1
$wine "$exe" -release &
pid=$!
if id=$(wait_window "Información"); then
  import -window root "$work/refusal_message.png" || true
  xdotool key --window "$id" Return
  echo "ok: refusal shown"
else
  echo "FAIL: no refusal"; fail=1; kill $pid 2>/dev/null || true
fi
wait $pid || true
check "$c/KX/Panel/ICONOS.INI" "$here/ICONOS.INI" "icon file untouched after a refusal"

# 5. An icon file that can't be written: the first flush of the automatic run
# fails, the trap shows its box and ends the program with 1; every file and
# the registry branch are as they were.
setup
chmod a-w "$c/KX/Panel/ICONOS.INI"
rm -rf "$work/before"; cp -a "$c/KX" "$work/before"
export_branch "$work/export_before.txt"
$wine "$exe" /RELEASE &
pid=$!
if id=$(wait_window '^Error$' 120); then
  sleep 0.5
  import -window root "$work/trap_box.png" || true
  echo "ok: trap box shown"
  text=$(box_text "$id" | tr -d '\r')
  if [[ -z $text ]]; then
    echo "note: no clipboard reader, the box text is not checked (see trap_box.png)"
  elif [[ $text == *"Se ha producido un error inesperado en la aplicación."* &&
          $text == *'Unable to write to C:\KX\Panel\ICONOS.INI'* ]]; then
    echo "ok: trap box text"
  else
    echo "FAIL: trap box text: $text"; fail=1
  fi
  xdotool key --window "$id" Return
else
  echo "FAIL: no trap box"; fail=1; kill $pid 2>/dev/null || true
fi
rc=0; wait $pid || rc=$?
[[ $rc == 1 ]] && echo "ok: exit code 1 after the trap" || { echo "FAIL: exit code $rc after the trap"; fail=1; }
chmod u+w "$c/KX/Panel/ICONOS.INI"
chmod u+w "$work/before/Panel/ICONOS.INI"
if diff -r "$work/before" "$c/KX" >/dev/null; then echo "ok: no file changed or left behind"; else
  echo "FAIL: files changed after the trap"; diff -rq "$work/before" "$c/KX" | head; fail=1; fi
export_branch "$work/export_after.txt"
check "$work/export_after.txt" "$work/export_before.txt" "registry branch untouched after the trap"
exit $fail
