#!/bin/bash
# A copy of the tests' Wine prefix whose screen has another scale, made once.
#   dpi_prefix.sh PREFIX DPI   (WINEPREFIX names the tests' own prefix, made first)
set -euo pipefail
to=$1
dpi=$2
if [ ! -f "$to/system.reg" ]; then
    "${VELUM_WINESERVER:?}" -w # the registry of the tests' prefix is on disk
    rm -rf "$to"
    cp -a "$WINEPREFIX" "$to"
fi
export WINEPREFIX=$to
# The scale Wine gives the screen, where its own settings keep it.
"${VELUM_WINE:?}" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    >/dev/null
"$VELUM_WINESERVER" -w
