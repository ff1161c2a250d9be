#!/bin/bash
# velumdesk.exe under Wine as a person runs it: a store of its own with a frequency of 0/0/0,
# the window on a Wine virtual desktop of a private X server; the first tick sets the
# wallpaper, then File, Exit by keyboard ends it and writes the settings and the rotation.
#   velumdesk_wine_test.sh VELUMDESK_EXE SCREENSHOT_PNG
# The environment names the Wine loader and server of the build's width (VELUM_WINE,
# VELUM_WINESERVER).
set -euo pipefail
wine=${VELUM_WINE:?}
exe=$1
screenshot=$2
convert=/usr/bin/convert
import=/usr/bin/import
pics=$WINEPREFIX/drive_c/velumdesktest
width=800
height=600
work=$(mktemp -d)
cleanup_more=$pics
source "$(dirname "$0")/wine_test_lib.sh"
store=$(store_folder)
cleanup_more="$pics $store/velum.cfg"
mkdir -p "$store"

command -v xdotool >/dev/null || {
    echo "xdotool is missing"
    exit 77
}

value() {
    "$wine" reg query "$1" /v "$2" | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//p"
}

screen_signature() {
    "$import" -display ":$display" -window root "$work/screen.png"
    "$convert" "$work/screen.png" -crop "$1" +repage -format '%#' info:
}

mkdir -p "$pics"
"$convert" -size 24x16 xc:'#ffff00' -fill '#000080' -draw 'rectangle 3,2 8,12' "BMP3:$pics/tile.bmp"
"$convert" -size 24x16 xc:'#00c000' "BMP3:$pics/green.bmp"
printf '%s\r\n' \
    '"Bmp","","C:\velumdesktest\green.bmp"' \
    '"Bmp","Tiles","C:\velumdesktest\tile.bmp"' '"Bmp","Tiles","C:\velumdesktest\green.bmp"' \
    '"Max","Tiles","2"' '"Minutes","Tiles","0"' '"Hours","Tiles","0"' '"Days","Tiles","0"' \
    '"CycleOptions","Tiles","0"' '"TileWallpaper","Tiles","1"' >"$store/velum.cfg"
# No wallpaper before the first tick, whatever an earlier run left.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"Collections"="Tiles"\r\n"Current"="Tiles"\r\n"ViewBmp"="no"\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"Wallpaper"=""\r\n\r\n' \
    >"$work/settings.reg"
"$wine" regedit /S "$("$wine" winepath -w "$work/settings.reg")"

start_display "$width" "$height"

"$wine" explorer "/desktop=velumdesk,${width}x${height}" "$("$wine" winepath -w "$exe")" &
program=$!
started=$SECONDS
for _ in $(seq 60); do
    xdotool search --name '^Velum' >/dev/null 2>&1 && break
    sleep 0.5
done
sleep 2
"$import" -display ":$display" -window root "$screenshot"

# The first tick, 30 seconds after the start, tiles tile.bmp from the top left corner.
tile=$("$convert" "$pics/tile.bmp" -format '%#' info:)
for _ in $(seq 90); do
    [ "$(screen_signature 24x16+0+0)" = "$tile" ] && break
    sleep 0.5
done
[ "$(screen_signature 24x16+0+0)" = "$tile" ] || fail "tile.bmp is not on the desktop"
((SECONDS - started >= 25)) || fail "the wallpaper changed before the first tick"
[ "$(screen_signature 24x16+24+16)" = "$tile" ] || fail "tile.bmp is not tiled"
[ "$(value 'HKCU\Control Panel\Desktop' Wallpaper)" = 'C:\velumdesktest\tile.bmp' ] ||
    fail "Wallpaper is not tile.bmp"

# File, Exit from the keyboard.
xdotool key --delay 150 alt+f x
for _ in $(seq 60); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
status=0
wait "$program" || status=$?
[ "$status" = 0 ] || fail "velumdesk.exe exited with $status"
grep -q '^"Bmp","","C:\\velumdesktest\\tile.bmp"' "$store/velum.cfg" || fail "history not written"
grep -q '^"Bmp","","C:\\velumdesktest\\green.bmp"' "$store/velum.cfg" || fail "history lost"
grep -q '^"Index","Tiles"," 1"' "$store/velum.cfg" || fail "Index is not 1"
grep -q '^"CurrentIndex","Tiles"," 0"' "$store/velum.cfg" || fail "CurrentIndex is not 0"
[ "$(value 'HKCU\Software\Velumor\Options' ViewBmp)" = NO ] || fail "ViewBmp not written"
[ "$(value 'HKCU\Software\Velumor\Options' Current)" = Tiles ] || fail "Current not written"
echo "velumdesk.exe changed the wallpaper on its first tick and saved at File, Exit"
