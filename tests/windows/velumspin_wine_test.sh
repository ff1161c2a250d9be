#!/bin/bash
# velumspin.exe under Wine as a person runs it: velum.cfg in the Windows folder, the settings in
# the registry; after each run the desktop settings, velum.cfg and a Wine virtual desktop on an
# X server of our own show the next bitmap, centred or tiled.
#   velumspin_wine_test.sh VELUMSPIN_EXE
# The environment names the Wine loader and server of the build's width (VELUM_WINE,
# VELUM_WINESERVER) and its objdump (VELUM_OBJDUMP).
set -euo pipefail
exe=$1
wine=${VELUM_WINE:?}
convert=/usr/bin/convert
import=/usr/bin/import
windir=$WINEPREFIX/drive_c/windows
pics=$WINEPREFIX/drive_c/velumtest
width=640
height=480
work=$(mktemp -d)
cleanup_more="$pics $windir/velum.cfg"
source "$(dirname "$0")/wine_test_lib.sh"
store=$(store_folder)
cleanup_more="$cleanup_more $store/velum.cfg"
rm -f "$store/velum.cfg"

# Desktop settings of the current user, as the registry holds them.
desktop_value() {
    "$wine" reg query 'HKCU\Control Panel\Desktop' /v "$1" | tr -d '\r' |
        sed -n "s/^ *$1 *REG_SZ *//p"
}

# The pixels of the screen's rectangle WxH+X+Y, as ImageMagick's signature.
screen_signature() {
    "$import" -display ":$display" -window root "$work/screen.png"
    "$convert" "$work/screen.png" -crop "$1" +repage -format '%#' info:
}

bitmap_signature() {
    "$convert" "$1" -format '%#' info:
}

# Registry settings as a person's earlier session left them.
import_settings() {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"Collections"="Nature,Tiles,Bare"\r\n"Current"="%s"\r\n"ViewBmp"="YES"\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"WallpaperStyle"="10"\r\n\r\n' \
        "$1" >"$work/settings.reg"
    "$wine" regedit /S "$("$wine" winepath -w "$work/settings.reg")"
}

# A windows-subsystem program: starting it brings up no console window.
headers=$("${VELUM_OBJDUMP:?}" -p "$exe")
grep -q 'Subsystem.*Windows GUI' <<<"$headers" ||
    fail "velumspin.exe is not a windows-subsystem program"
# Its manifest keeps it unelevated and unredirected, with today's message boxes.
for want in 'level="asInvoker"' 'Microsoft.Windows.Common-Controls' '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a'; do
    grep -qaF "$want" "$exe" || fail "velumspin.exe's manifest lacks $want"
done

mkdir -p "$pics"
"$convert" -size 50x20 xc:'#00c000' -fill '#ff00ff' -draw 'rectangle 0,0 4,4' "BMP3:$pics/green.bmp"
"$convert" -size 40x30 xc:'#c00000' -fill '#0000ff' -draw 'rectangle 0,0 9,9' "BMP3:$pics/red.bmp"
"$convert" -size 24x16 xc:'#ffff00' -fill '#000080' -draw 'rectangle 3,2 8,12' "BMP3:$pics/tile.bmp"
printf '%s\r\n' \
    '"Bmp","","C:\velumtest\red.bmp"' \
    '"Bmp","Nature","C:\velumtest\red.bmp"' '"Bmp","Nature","C:\velumtest\green.bmp"' \
    '"Max","Nature","2"' '"Minutes","Nature","0"' '"Hours","Nature","0"' '"Days","Nature","1"' \
    '"CycleOptions","Nature","0"' '"TileWallpaper","Nature","0"' \
    '"Bmp","Tiles","C:\velumtest\tile.bmp"' \
    '"Max","Tiles","1"' '"Minutes","Tiles","5"' '"Hours","Tiles","0"' '"Days","Tiles","0"' \
    '"CycleOptions","Tiles","0"' '"TileWallpaper","Tiles","1"' \
    '"Bmp","Bare","C:\velumtest\red.bmp"' '"TileWallpaper","Bare","99"' >"$windir/velum.cfg"
import_settings Nature
cp "$windir/velum.cfg" "$work/older.cfg"

# Two runs with no display: two consecutive bitmaps, the position recorded after each. The first
# takes over the older install's store in the Windows folder, which stays as it was.
for expect in 'red.bmp 1 0' 'green.bmp 2 1'; do
    read -r name index current <<<"$expect"
    "$wine" "$exe" || fail "velumspin.exe exited with $?"
    [ "$(desktop_value Wallpaper)" = "C:\\velumtest\\$name" ] ||
        fail "Wallpaper is '$(desktop_value Wallpaper)', not $name"
    [ "$(desktop_value TileWallpaper)" = 0 ] || fail "TileWallpaper is not 0"
    # A fresh Windows 10 profile's Fill would show the centred bitmap cropped.
    [ "$(desktop_value WallpaperStyle)" = 0 ] || fail "WallpaperStyle is not 0"
    grep -q "^\"Index\",\"Nature\",\" $index\"" "$store/velum.cfg" || fail "Index is not $index"
    grep -q "^\"CurrentIndex\",\"Nature\",\" $current\"" "$store/velum.cfg" ||
        fail "CurrentIndex is not $current"
done
grep -q '^"Time","Nature","[0-9]*/[0-9]*/[0-9]* [0-9:]* [AP]M"' "$store/velum.cfg" ||
    fail "no time of the last change in the locale's form"
grep -q '^"Bmp","","C:\\velumtest\\red.bmp"' "$store/velum.cfg" || fail "history not kept"
[ "$(grep -c '^"Bmp","Nature"' "$store/velum.cfg")" = 2 ] || fail "rotation list changed"
cmp -s "$windir/velum.cfg" "$work/older.cfg" || fail "the older store was changed"
settings=$("$wine" reg query 'HKCU\Software\Velumor\Options' | tr -d '\r')
grep -q 'Current *REG_SZ *Nature$' <<<"$settings" || fail "Current was changed"
grep -q 'ViewBmp *REG_SZ *YES$' <<<"$settings" || fail "ViewBmp was changed"

# The virtual desktop, started on the result, shows green.bmp centred on the desktop colour.
start_display "$width" "$height"
# A minimised window in a corner keeps the desktop up without covering the middle.
"$wine" explorer "/desktop=velumtest,${width}x${height}" cmd /c start /min notepad &
green=$(bitmap_signature "$pics/green.bmp")
for _ in $(seq 60); do
    [ "$(screen_signature 50x20+295+230)" = "$green" ] && break
    sleep 0.5
done
[ "$(screen_signature 50x20+295+230)" = "$green" ] || fail "green.bmp is not centred on the desktop"
[ "$(screen_signature 50x20+20+20)" != "$green" ] || fail "the desktop is not the bitmap's colour"

# A run inside the running desktop: the tiled collection appears at once.
import_settings Tiles
"$wine" explorer "/desktop=velumtest,${width}x${height}" "$("$wine" winepath -w "$exe")" ||
    fail "velumspin.exe in the desktop failed"
# The running desktop's explorer starts the program and returns at once: its position, recorded
# last, tells that it has done.
for _ in $(seq 60); do
    grep -q '^"Index","Tiles"' "$store/velum.cfg" && break
    sleep 0.5
done
grep -q '^"Index","Tiles"' "$store/velum.cfg" || fail "the Tiles position was not recorded"
[ "$(desktop_value TileWallpaper)" = 1 ] || fail "TileWallpaper is not 1"
tile=$(bitmap_signature "$pics/tile.bmp")
for _ in $(seq 60); do
    [ "$(screen_signature 24x16+0+0)" = "$tile" ] && break
    sleep 0.5
done
for at in 24x16+0+0 24x16+24+0 24x16+48+32 24x16+600+448; do
    [ "$(screen_signature "$at")" = "$tile" ] || fail "tile.bmp is not tiled at $at"
done
# Without a store, the VirtualStore copy that Windows made of the older one is the newer.
rm "$store/velum.cfg"
virtual=$(dirname "$store")/../Local/VirtualStore/windows
mkdir -p "$virtual"
cleanup_more="$cleanup_more $virtual"
sed 's/"Nature"/"Virtual"/' "$work/older.cfg" >"$virtual/velum.cfg"
"$wine" "$exe" || fail "velumspin.exe exited with $? on a VirtualStore copy"
grep -q '^"Bmp","Virtual"' "$store/velum.cfg" || fail "the VirtualStore copy was not taken over"

# None removes the wallpaper with the empty text current Windows documents.
import_settings Bare
"$wine" "$exe" || fail "velumspin.exe with None exited with $?"
[ -z "$(desktop_value Wallpaper)" ] || fail "None left Wallpaper '$(desktop_value Wallpaper)'"

# A photo filled: Windows' own Fill number beside an untiled flag. A JPEG cut short is refused
# before Windows sees it, and the wallpaper stays the photo, in its style.
"$convert" -size 64x48 gradient:red-blue "$pics/photo.jpg"
head -c 300 "$pics/photo.jpg" >"$pics/cut.jpg"
printf '%s\r\n' '"Bmp","Photo","C:\velumtest\photo.jpg"' '"TileWallpaper","Photo","10"' \
    '"Bmp","Cut","C:\velumtest\cut.jpg"' '"TileWallpaper","Cut","6"' >>"$store/velum.cfg"
import_settings Photo
"$wine" reg add 'HKCU\Control Panel\Desktop' /v WallpaperStyle /d 2 /f >/dev/null 2>&1
"$wine" "$exe" || fail "velumspin.exe with a photo exited with $?"
[ "$(desktop_value Wallpaper)" = 'C:\velumtest\photo.jpg' ] ||
    fail "the photo is not the wallpaper: '$(desktop_value Wallpaper)'"
[ "$(desktop_value WallpaperStyle)/$(desktop_value TileWallpaper)" = 10/0 ] ||
    fail "Fill wrote $(desktop_value WallpaperStyle)/$(desktop_value TileWallpaper)"
import_settings Cut
"$wine" "$exe" || fail "velumspin.exe with a cut photo exited with $?"
[ "$(desktop_value Wallpaper)" = 'C:\velumtest\photo.jpg' ] || fail "a cut JPEG replaced the photo"
[ "$(desktop_value WallpaperStyle)/$(desktop_value TileWallpaper)" = 10/0 ] ||
    fail "a cut JPEG left its style on the photo"

# Names outside the ANSI code page: the collection, its folder and its bitmap go to Windows and
# back unchanged, velum.cfg stays UTF-8 and the registry holds the same names.
name='Zoë 日本'
folder=$WINEPREFIX/drive_c/Bilder/Łódź
cleanup_more="$cleanup_more $WINEPREFIX/drive_c/Bilder"
mkdir -p "$folder"
cp "$pics/green.bmp" "$folder/日本.bmp"
printf '%s\r\n' "\"Bmp\",\"$name\",\"C:\\Bilder\\Łódź\\日本.bmp\"" "\"TileWallpaper\",\"$name\",\"0\"" \
    >"$store/velum.cfg"
"$wine" reg add 'HKCU\Software\Velumor\Options' /v Collections /d "$name" /f >/dev/null
"$wine" reg add 'HKCU\Software\Velumor\Options' /v Current /d "$name" /f >/dev/null
"$wine" "$exe" || fail "velumspin.exe with $name exited with $?"
# reg export writes UTF-16, so no code page stands between the registry and the check.
"$wine" reg export 'HKCU\Control Panel\Desktop' "$("$wine" winepath -w "$work/desktop.reg")" /y >/dev/null
iconv -f UTF-16 -t UTF-8 "$work/desktop.reg" | tr -d '\r' |
    grep -qxF '"Wallpaper"="C:\\Bilder\\Łódź\\日本.bmp"' || fail "Wallpaper is not 日本.bmp"
grep -qF "\"Index\",\"$name\",\" 1\"" "$store/velum.cfg" || fail "no Index for $name in UTF-8"
grep -qF "\"Bmp\",\"$name\",\"C:\\Bilder\\Łódź\\日本.bmp\"" "$store/velum.cfg" ||
    fail "the bitmap's record changed"
echo "velumspin.exe applied, recorded and showed every bitmap, in any letters"
