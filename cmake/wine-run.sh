#!/bin/sh
# Runs a Windows test program under Wine with the build folder's own prefix.
# KX_WINEPREFIX names the prefix; scripts/test.sh creates it once per test run.
# The 64-bit loader is called directly: /usr/bin/wine prefers the 32-bit one
# whenever wine32 is installed, and that one cannot start where the kernel
# runs no 32-bit code.
: "${KX_WINEPREFIX:?KX_WINEPREFIX must name the Wine prefix (scripts/test.sh sets it)}"
export WINEPREFIX="$KX_WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
