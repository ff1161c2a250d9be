#!/bin/bash
# Makes the tests' Wine prefix once; later runs reuse it.
set -e
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init
    wineserver --wait
fi
