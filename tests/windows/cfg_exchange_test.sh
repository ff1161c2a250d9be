#!/bin/bash
# velum.cfg written on Windows reads on Linux as the same collections, and the other way round.
#   cfg_exchange_test.sh WINDOWS_CFGTOOL LINUX_BIN_DIR
set -euo pipefail
wintool=$1
linbin=${2:-}
if [ -z "$linbin" ] || [ ! -x "$linbin/velum_cfgtool" ]; then
    echo "no Linux build given: skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windir=$WINEPREFIX/drive_c/windows
linuxdir=$work/home/velumor
names=(Default Nature Empty)

on_windows() { "${VELUM_WINE:?}" "$wintool" "$@" | tr -d '\r'; }
on_linux() { XDG_CONFIG_HOME=$work/home "$linbin/velum_cfgtool" "$@"; }

rm -f "$windir/velum.cfg"
on_windows write
cp "$windir/velum.cfg" "$work/windows.cfg"
on_linux write
cp "$linuxdir/velum.cfg" "$work/linux.cfg"
grep -q '^"Time","Nature","12/6/2026 7:04:05 PM"' "$work/windows.cfg"
grep -q '^"Time","Nature","2026-12-06 19:04:05"' "$work/linux.cfg"

status=0
for file in windows linux; do
    cp "$work/$file.cfg" "$windir/velum.cfg"
    cp "$work/$file.cfg" "$linuxdir/velum.cfg"
    on_windows dump "${names[@]}" >"$work/$file-read-on-windows.txt"
    on_linux dump "${names[@]}" >"$work/$file-read-on-linux.txt"
    if ! diff -u "$work/$file-read-on-windows.txt" "$work/$file-read-on-linux.txt"; then
        echo "velum.cfg written on $file reads differently on the two platforms"
        status=1
    fi
done
# Both platforms wrote the same collections.
if ! diff -u "$work/windows-read-on-linux.txt" "$work/linux-read-on-linux.txt"; then
    echo "the two platforms wrote different collections"
    status=1
fi
grep -q '^changed 2026-12-06 19:04:05$' "$work/windows-read-on-linux.txt" || status=1
rm -f "$windir/velum.cfg"
[ $status = 0 ] && echo "velum.cfg reads the same on Windows and Linux"
exit $status
