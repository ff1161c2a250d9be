#!/usr/bin/env bash
# Times velumdesk.exe under Wine from start to its window painted, with a collection of 32,767
# bitmaps and a folder of 20,000 bitmaps in the browser, against an empty Win32 window
# (empty_window.exe, beside it in the same build) under the same Wine, the two interleaved; then
# reads velumdesk.exe's working set once idle.
# Usage: bench/velumdesk_wine_bench.sh VELUMDESK_EXE [runs]
#   (a Windows build: build-win/bin/velumdesk.exe, or the 64-bit one where 32-bit Wine cannot
#   run; WINELOADER names the Wine loader to use, /usr/lib/wine/wine64 for the 64-bit one)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
source bench/session.sh
exe=$(realpath "$1")
empty=$(dirname "$exe")/empty_window.exe
runs=${2:-5}
probe=$PWD/build/bin/first_paint
loader=${WINELOADER:-wine}
server=${WINESERVER:-wineserver}
[[ -x $probe ]] || { echo "build first_paint first (scripts/test)"; exit 1; }
[[ -f $empty ]] || { echo "build empty_window first (cmake --build ... --target empty_window)"; exit 1; }

start_session
# Both run as they ship: the setup program and the zip carry the programs without their debug
# information (CPACK_STRIP_FILES), which Wine would otherwise read into memory whole.
mkdir -p "$work/programs"
cp "$exe" "$empty" "$work/programs/"
exe=$work/programs/$(basename "$exe")
empty=$work/programs/$(basename "$empty")
x86_64-w64-mingw32-strip "$exe" "$empty"
export WINEPREFIX=$work/prefix WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
"$loader" wineboot --init >/dev/null 2>&1
"$server" -p 60 2>/dev/null || true # kept running: each run times the program
pics=$WINEPREFIX/drive_c/pics
mkdir -p "$pics"
(cd "$pics" && seq -f 'wallpaper-%05g.bmp' 20000 | xargs touch)
# The store where the program keeps it, %APPDATA%\Velumor.
store=$("$loader" winepath -u "$("$loader" cmd /c echo %APPDATA% | tr -d '\r')\\Velumor" | tr -d '\r')
mkdir -p "$store"
{
    printf '"Bmp","","C:\\pics\\wallpaper-00001.bmp"\r\n'
    # seq writes a backslash as it is given (printf above takes two for one).
    seq -f '"Bmp","Big","C:\pics\wallpaper-%05g.bmp"' 32767 | sed 's/$/\r/'
    printf '"Days","Big","7"\r\n"TileWallpaper","Big","0"\r\n'
} >"$store/velum.cfg"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"Collections"="Big"\r\n"Current"="Big"\r\n' \
    >"$WINEPREFIX/drive_c/settings.reg"
"$loader" regedit /S 'C:\settings.reg' >/dev/null 2>&1

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# first_paint starts a program and waits until a pixel of its window is painted. The two are
# interleaved, so a busy moment of the machine weighs on both alike; one start of each first,
# untimed, brings Wine's own files into memory.
paint() { (cd "$pics" && "$probe" "$(command -v "$loader")" "$1" 2>/dev/null); "$server" -w 2>/dev/null || true; }
paint "$empty" >/dev/null
paint "$exe" >/dev/null
empties=()
times=()
shares=()
for _ in $(seq "$runs"); do
    e=$(paint "$empty")
    t=$(paint "$exe")
    empties+=("$e")
    times+=("$t")
    shares+=($((t - e)))
done
(cd "$pics" && "$loader" "$exe" >/dev/null 2>&1 &)
sleep 5
# The Windows program is the Wine process of that name in this prefix with the most memory.
# Its part not backed by a file is about what Windows counts as private (what Task Manager shows
# by default); the rest is mostly the system's DLLs, which every program shares on Windows.
rss=0
private=0
for pid in $(pgrep -f 'velumdesk.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    kb=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    ((kb > rss)) || continue
    rss=$kb
    private=$(awk '/^Anonymous:/ {print $2}' "/proc/$pid/smaps_rollup")
done
"$server" -k 2>/dev/null || true
empty_median=$(median "${empties[@]}")
desk_median=$(median "${times[@]}")
echo "Under Wine, start to first painted window, median of $runs interleaved runs each (ms):"
echo "  empty Win32 window:  ${empties[*]} -> ${empty_median}"
echo "  velumdesk.exe (32,767-bitmap collection, 20,000 bitmaps in the browser):"
echo "                       ${times[*]} -> ${desk_median}"
echo "velumdesk.exe's own share: $((desk_median - empty_median)) ms, difference of the medians;"
echo "  $(median "${shares[@]}") ms, median of the runs' differences (target <= 150 ms)"
awk -v k="$rss" -v p="$private" 'BEGIN {printf "working set once idle: %.1f MB (target <= 40 MB), of which private %.1f MB\n", k / 1024, p / 1024}'
