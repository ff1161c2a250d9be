#!/usr/bin/env bash
# Times velumdesk.exe under Wine from start to its window painted, with a collection of 32,767
# bitmaps and a folder of 20,000 bitmaps in the browser, and reads its working set once idle.
# Usage: bench/velumdesk_wine_bench.sh VELUMDESK_EXE [runs]
#   (a Windows build: build-win/bin/velumdesk.exe, or the 64-bit one where 32-bit Wine cannot
#   run; WINELOADER names the Wine loader to use, /usr/lib/wine/wine64 for the 64-bit one)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
source bench/session.sh
exe=$(realpath "$1")
runs=${2:-5}
probe=$PWD/build/bin/first_paint
loader=${WINELOADER:-wine}
[[ -x $probe ]] || { echo "build first_paint first (scripts/test)"; exit 1; }

start_session
export WINEPREFIX=$work/prefix WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
"$loader" wineboot --init >/dev/null 2>&1
"${WINESERVER:-wineserver}" -p 60 2>/dev/null || true # kept running: each run times the program
pics=$WINEPREFIX/drive_c/pics
mkdir -p "$pics"
(cd "$pics" && seq -f 'wallpaper-%05g.bmp' 20000 | xargs touch)
{
    printf '"Bmp","","C:\\pics\\wallpaper-00001.bmp"\r\n'
    seq -f '"Bmp","Big","C:\\pics\\wallpaper-%05g.bmp"' 32767 | sed 's/$/\r/'
    printf '"Days","Big","7"\r\n"TileWallpaper","Big","0"\r\n'
} >"$WINEPREFIX/drive_c/windows/velum.cfg"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"Collections"="Big"\r\n"Current"="Big"\r\n' \
    >"$work/settings.reg"
cp "$work/settings.reg" "$WINEPREFIX/drive_c/settings.reg"
"$loader" regedit /S 'C:\settings.reg' >/dev/null 2>&1

# first_paint starts the program and waits until a pixel of its window is painted.
times=()
for _ in $(seq "$runs"); do
    times+=($(cd "$pics" && "$probe" "$(command -v "$loader")" "$exe" 2>/dev/null))
    "${WINESERVER:-wineserver}" -w 2>/dev/null || true
done
(cd "$pics" && "$loader" "$exe" >/dev/null 2>&1 &)
sleep 5
# The Windows program is the Wine process of that name with the most memory.
rss=0
for pid in $(pgrep -f 'velumdesk.exe'); do
    kb=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    ((kb > rss)) && rss=$kb
done
"${WINESERVER:-wineserver}" -k 2>/dev/null || true
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "velumdesk.exe under Wine, 32,767-bitmap collection, 20,000 bitmaps in the browser, median of $runs runs"
echo "start to first painted window: ${median} ms (target < 500 ms)"
awk -v k="$rss" 'BEGIN {printf "working set once idle: %.1f MB (target < 40 MB)\n", k / 1024}'
