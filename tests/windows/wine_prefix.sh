#!/bin/bash
# Makes the tests' Wine prefix once; later runs reuse it.
set -e
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "${VELUM_WINE:?}" wineboot --init
    "${VELUM_WINESERVER:?}" --wait
fi
