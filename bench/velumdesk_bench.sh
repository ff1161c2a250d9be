#!/usr/bin/env bash
# Times velumdesk from start to its window on screen on an empty store and with a collection of
# 32,767 bitmaps and a folder of 20,000 bitmaps in the browser, the two interleaved in one run,
# prints both medians and their ratio, and reads the big case's resident memory once idle.
# Usage: bench/velumdesk_bench.sh [runs]   (after scripts/test or a build into build/)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
source bench/session.sh
ensure_packages xvfb
runs=${1:-5}
desk=$PWD/build/bin/velumdesk
probe=$PWD/build/bin/first_paint
[[ -x $desk && -x $probe ]] || { echo "build velumdesk and first_paint first (scripts/test)"; exit 1; }

start_session
mkdir -p "$work/pics"
(cd "$work/pics" && seq -f 'wallpaper-%05g.bmp' 20000 | xargs touch)
{
    printf '"Bmp","","%s/pics/wallpaper-00001.bmp"\r\n' "$work"
    seq -f "\"Bmp\",\"Big\",\"$work/pics/wallpaper-%05g.bmp\"" 32767 | sed 's/$/\r/'
    printf '"Days","Big","7"\r\n"TileWallpaper","Big","0"\r\n'
} >"$XDG_CONFIG_HOME/velumor/velum.cfg"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"Collections"="Big"\r\n"Current"="Big"\r\n' \
    >"$XDG_CONFIG_HOME/velumor/user.reg"

# The empty store: no velum.cfg or user.reg, started in an empty folder.
empty=$work/empty
mkdir -p "$empty/config/velumor" "$empty/start"

# first_paint starts the program and waits until a pixel of its window is painted.
times=()
empty_times=()
for _ in $(seq "$runs"); do
    times+=($("$probe" "$desk" 2>/dev/null))
    empty_times+=($(cd "$empty/start" && XDG_CONFIG_HOME=$empty/config "$probe" "$desk" 2>/dev/null))
done
"$desk" >/dev/null 2>&1 &
pid=$!
sleep 3
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
median_of() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
median=$(median_of "${times[@]}")
empty_median=$(median_of "${empty_times[@]}")
echo "velumdesk, start to first painted window, median of $runs runs each, interleaved"
echo "empty store: ${empty_median} ms"
echo "32,767-bitmap collection, 20,000 bitmaps in the browser: ${median} ms (target < 500 ms)"
awk -v a="$median" -v b="$empty_median" \
    'BEGIN {printf "ratio of the two: %.2f (target < 1.5)\n", a / b}'
awk -v k="$rss" 'BEGIN {printf "resident memory once idle: %.1f MB (target < 80 MB)\n", k / 1024}'
