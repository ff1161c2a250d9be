#!/bin/bash
# The setup program and the zip as a person uses them, in a fresh Wine prefix of their own: a
# silent install for the person (Start menu, Uninstall key, Startup shortcut only when chosen
# with /LOGON), the installed velumspin.exe on a store, an uninstaller that waits for the window
# to close, the silent uninstall that keeps the person's velum.cfg and settings, and the same
# for every user with /ALLUSERS. The version resources of the programs and of the setup program carry
# the project's version.
#   setup_test.sh CPACK_CONFIG VERSION
# Environment: WINE (the build's loader), WINEARCH, WINEPREFIX (recreated).
set -euo pipefail
config=$1
version=$2
wineserver=$(dirname "$WINE")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
work=$(mktemp -d)
xvfb=
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY # silent runs need no screen

fail() {
    echo "FAIL: $*"
    exit 1
}

wine() { "$WINE" "$@"; }
# A Windows path's file in the prefix.
unix_path() { wine winepath -u "$1" | tr -d '\r'; }

# The version resource of a PE file as "fixed-file-version product-version FileVersion
# ProductVersion", the fixed ones as a.b.c.d.
pe_version() {
    wrestool -x --raw --type=16 "$1" >"$work/version.bin"
    [ -s "$work/version.bin" ] || fail "$1 has no version resource"
    local hex fixed strings
    hex=$(od -An -tx1 -v "$work/version.bin" | tr -d ' \n')
    fixed=${hex#*bd04effe} # VS_FIXEDFILEINFO's signature, little-endian
    [ "$fixed" != "$hex" ] || fail "$1: no fixed version information"
    strings=$(iconv -c -f UTF-16LE -t UTF-8 "$work/version.bin" | tr -c '[:print:]' '\n' | grep -v '^$')
    printf '%s %s %s %s\n' "$(dwords_version "${fixed:8:16}")" "$(dwords_version "${fixed:24:16}")" \
        "$(awk '$0 == "FileVersion" { getline; print; exit }' <<<"$strings")" \
        "$(awk '$0 == "ProductVersion" { getline; print; exit }' <<<"$strings")"
}

# Two little-endian DWORDs (MS, LS) in hex as a.b.c.d.
dwords_version() {
    local h=$1
    echo "$((16#${h:6:2}${h:4:2})).$((16#${h:2:2}${h:0:2})).$((16#${h:14:2}${h:12:2})).$((16#${h:10:2}${h:8:2}))"
}

check_version() {
    local got
    got=$(pe_version "$1")
    [ "$got" = "$version.0 $version.0 $version $version" ] ||
        fail "$(basename "$1"): version resource says '$got', the project is $version"
}

# The value of NAME under KEY as "TYPE VALUE", empty when absent.
reg_value() {
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2/p"
}

# A shortcut pointing at TARGET: its link information holds the target's path.
check_link() {
    [ -f "$1" ] || fail "no shortcut $1"
    strings -a "$1" | grep -qxF "$2" || fail "$(basename "$1") does not point at $2"
}

echo "== packages"
cpack --config "$config" -G "NSIS;ZIP" -B "$work/packages" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
setup=$(ls "$work/packages/velum-$version-"*setup.exe) # -win32-setup.exe from a 32-bit build
zip=$(ls "$work/packages/velum-$version-win"*.zip)
check_version "$setup"

# The zip: the two programs and how to run them, in one folder.
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
folder=$work/zip/$(basename "$zip" .zip)
for file in velumdesk.exe velumspin.exe README.txt; do
    [ -f "$folder/$file" ] || fail "the zip has no $file"
done
[ "$(find "$work/zip" -type f | wc -l)" = 3 ] || fail "the zip holds more than the three files"
for exe in velumdesk velumspin; do
    grep -q "^$exe.exe " "$folder/README.txt" || fail "README.txt does not say what $exe.exe does"
    check_version "$folder/$exe.exe"
done
grep -q "^Velum $version," "$folder/README.txt" || fail "README.txt does not name the version"
grep -q $'\r$' "$folder/README.txt" || fail "README.txt has no Windows line ends"

echo "== silent install for the person running it"
rm -rf "$WINEPREFIX"
wine wineboot --init >/dev/null 2>&1
"$wineserver" -w
wine "$setup" /S || fail "setup /S exited with $?"
"$wineserver" -w
appdata=$(wine cmd /c echo %APPDATA% | tr -d '\r')
localdata=$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')
instdir="$localdata\\Programs\\Velum"
inst=$(unix_path "$instdir")
for exe in velumdesk velumspin; do
    [ -f "$inst/$exe.exe" ] || fail "$exe.exe not installed in $instdir"
    check_version "$inst/$exe.exe"
    # Stripping stamps the time into each copy, so the two differ in that only.
    [ "$(stat -c %s "$inst/$exe.exe")" = "$(stat -c %s "$folder/$exe.exe")" ] ||
        fail "installed $exe.exe is not the zip's"
done
[ -f "$inst/Uninstall.exe" ] || fail "no uninstaller"
menu=$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Velum")
check_link "$menu/Velum.lnk" "$instdir\\velumdesk.exe"
check_link "$menu/Velum - next wallpaper.lnk" "$instdir\\velumspin.exe"
check_link "$menu/Uninstall Velum.lnk" "$instdir\\Uninstall.exe"
startup=$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Startup")
[ -d "$startup" ] || fail "no Startup folder at $startup" # else the next check proves nothing
[ ! -e "$startup/Velum - next wallpaper.lnk" ] || fail "the logon shortcut is there by default"

uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Velum'
key="HKCU\\$uninstall_key"
wine reg query "HKLM\\$uninstall_key" >/dev/null 2>&1 && fail "a per-user install wrote to HKLM"
expect_value() {
    local got
    got=$(reg_value "$key" "$1")
    [ "$got" = "$2" ] || fail "$1 is '$got', not '$2'"
}
expect_value DisplayName 'REG_SZ Velum'
expect_value DisplayVersion "REG_SZ $version"
expect_value Publisher 'REG_SZ Velumor'
expect_value DisplayIcon "REG_SZ $instdir\\velumdesk.exe,0"
expect_value InstallLocation "REG_SZ $instdir"
expect_value UninstallString "REG_SZ \"$instdir\\Uninstall.exe\""
expect_value QuietUninstallString "REG_SZ \"$instdir\\Uninstall.exe\" /S"
expect_value NoModify 'REG_DWORD 0x1'
expect_value NoRepair 'REG_DWORD 0x1'
size=$(reg_value "$key" EstimatedSize)
[[ $size == 'REG_DWORD 0x'* ]] || fail "EstimatedSize is '$size'"
kb=$(($(du -sk "$inst" | cut -f1)))
((${size#REG_DWORD } * 10 > kb * 8 && ${size#REG_DWORD } * 10 < kb * 12)) ||
    fail "EstimatedSize $((${size#REG_DWORD })) KB is not the folder's $kb KB"

echo "== silent install with /LOGON"
wine "$setup" /S /LOGON || fail "setup /S /LOGON exited with $?"
"$wineserver" -w
check_link "$startup/Velum - next wallpaper.lnk" "$instdir\\velumspin.exe"

echo "== the installed velumspin.exe on a store"
windir=$(unix_path 'C:\windows')
mkdir -p "$WINEPREFIX/drive_c/velumtest"
/usr/bin/convert -size 40x30 xc:'#c00000' "BMP3:$WINEPREFIX/drive_c/velumtest/red.bmp"
printf '%s\r\n' '"Bmp","Nature","C:\velumtest\red.bmp"' '"Max","Nature","1"' \
    '"Minutes","Nature","0"' '"Hours","Nature","0"' '"Days","Nature","1"' \
    '"CycleOptions","Nature","0"' '"TileWallpaper","Nature","0"' >"$windir/velum.cfg"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"Collections"="Nature"\r\n"Current"="Nature"\r\n\r\n' \
    >"$work/settings.reg"
wine regedit /S "$(wine winepath -w "$work/settings.reg" | tr -d '\r')"
wine "$instdir\\velumspin.exe" || fail "the installed velumspin.exe exited with $?"
[ "$(reg_value 'HKCU\Control Panel\Desktop' Wallpaper)" = 'REG_SZ C:\velumtest\red.bmp' ] ||
    fail "the installed velumspin.exe did not set the wallpaper"
store=$(unix_path "$appdata\\Velumor")
cp "$store/velum.cfg" "$work/velum.cfg.before" || fail "no velum.cfg in the person's profile"

echo "== no uninstall while velumdesk.exe is open"
Xvfb -displayfd 3 -screen 0 640x480x24 -noreset -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
export DISPLAY=:$(cat "$work/display")
# Wine keeps the display it started with: a fresh server picks up this one.
"$wineserver" -k
"$wineserver" -w
wine "$instdir\\velumdesk.exe" &
for _ in $(seq 120); do
    xdotool search --name '^Velum' >/dev/null 2>&1 && break
    sleep 0.5
done
xdotool search --name '^Velum' >/dev/null 2>&1 || fail "velumdesk.exe shows no window"
# _?= runs the uninstaller in place, so its exit status is the one it ends with.
status=0
wine "$instdir\\Uninstall.exe" /S "_?=$instdir" || status=$?
[ "$status" = 5 ] || fail "the uninstaller ran while velumdesk.exe was open (status $status)"
[ -f "$inst/velumdesk.exe" ] || fail "the uninstaller removed files while velumdesk.exe was open"
"$wineserver" -k
"$wineserver" -w
kill "$xvfb"
unset DISPLAY

echo "== silent uninstall"
uninstall() {
    local quiet uninstaller arguments
    quiet=$(reg_value "$key" QuietUninstallString)
    quiet=${quiet#REG_SZ }
    uninstaller=${quiet#\"}
    uninstaller=${uninstaller%%\"*}
    # The uninstaller copies itself to a temporary folder and ends; wineserver -w waits for it.
    read -ra arguments <<<"${quiet##*\" }"
    wine "$uninstaller" "${arguments[@]}" || fail "the uninstaller exited with $?"
    "$wineserver" -w
    [ ! -e "$inst" ] || fail "$instdir is still there: $(ls "$inst")"
    [ ! -e "$menu" ] || fail "the Start menu folder is still there"
    [ ! -e "$startup/Velum - next wallpaper.lnk" ] || fail "the logon shortcut is still there"
    wine reg query "$key" >/dev/null 2>&1 && fail "the Uninstall key is still there"
    cmp -s "$store/velum.cfg" "$work/velum.cfg.before" || fail "velum.cfg was not kept"
    [ "$(reg_value 'HKCU\Software\Velumor\Options' Current)" = 'REG_SZ Nature' ] ||
        fail "HKEY_CURRENT_USER\\Software\\Velumor was not kept"
}
uninstall

echo "== for every user, with /ALLUSERS /LOGON, and removed again"
wine "$setup" /S /ALLUSERS /LOGON || fail "setup /S /ALLUSERS /LOGON exited with $?"
"$wineserver" -w
instdir='C:\Program Files\Velum'
inst=$(unix_path "$instdir")
[ -f "$inst/velumdesk.exe" ] || fail "velumdesk.exe not installed in $instdir"
key="HKLM\\$uninstall_key"
expect_value InstallLocation "REG_SZ $instdir"
wine reg query "HKCU\\$uninstall_key" >/dev/null 2>&1 && fail "an install for all wrote to HKCU"
menu=$(unix_path 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Velum')
check_link "$menu/Velum.lnk" "$instdir\\velumdesk.exe"
startup=$(unix_path 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\StartUp')
check_link "$startup/Velum - next wallpaper.lnk" "$instdir\\velumspin.exe"
uninstall
echo "setup and uninstall did what they say, and kept velum.cfg and the settings"
