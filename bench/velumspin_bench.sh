#!/usr/bin/env bash
# Times velumspin against hsetroot and feh putting the same 1920x1080 24-bit bitmap centred on
# an Xvfb root window, and measures velumspin's peak memory on a 3840x2160 bitmap.
# Usage: bench/velumspin_bench.sh [runs]   (after scripts/test or a build into build/)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
source bench/session.sh
ensure_packages xvfb imagemagick hsetroot feh time
runs=${1:-15}
spin=$PWD/build/bin/velumspin
[[ -x $spin ]] || { echo "build velumspin first (scripts/test)"; exit 1; }

start_session

/usr/bin/convert -size 1920x1080 gradient:navy-orange -type TrueColor BMP3:"$work/hd.bmp"
/usr/bin/convert -size 3840x2160 gradient:black-white -type TrueColor BMP3:"$work/uhd.bmp"

collection() { # collection BITMAP: 1,000 entries, all the same bitmap, centred
    {
        for i in $(seq 1000); do printf '"Bmp","Bench","%s"\r\n' "$1"; done
        printf '"TileWallpaper","Bench","0"\r\n"CycleOptions","Bench","0"\r\n'
    } >"$XDG_CONFIG_HOME/velumor/velum.cfg"
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"Collections"="Bench"\r\n"Current"="Bench"\r\n' \
        >"$XDG_CONFIG_HOME/velumor/user.reg"
}

elapsed_us() { # elapsed_us COMMAND...: wall time of one run, in microseconds
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}

median_ms() { # median_ms TIMES...: the median, in milliseconds
    printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]/1000}'
}

# Interleaved, so that a busy moment of the machine weighs on all three alike.
collection "$work/hd.bmp"
spin_us=() hsetroot_us=() feh_us=()
for _ in $(seq "$runs"); do
    spin_us+=("$(elapsed_us "$spin")")
    hsetroot_us+=("$(elapsed_us hsetroot -center "$work/hd.bmp")")
    feh_us+=("$(elapsed_us feh --no-fehbg --bg-center "$work/hd.bmp")")
done
spin_ms=$(median_ms "${spin_us[@]}")
hsetroot_ms=$(median_ms "${hsetroot_us[@]}")
feh_ms=$(median_ms "${feh_us[@]}")
fastest=$(printf '%s\n%s\n' "$hsetroot_ms" "$feh_ms" | sort -g | head -n 1)

collection "$work/uhd.bmp"
peak_kb=$(/usr/bin/time -f %M "$spin" 2>&1 >/dev/null | tail -n 1)
root_mb=$(awk 'BEGIN {printf "%.1f", 1920 * 1080 * 4 / 1e6}') # the root pixmap's bytes
limit_mb=$(awk -v p="$root_mb" 'BEGIN {printf "%.1f", 1.5 * p + 10}')

echo "median of $runs runs, 1920x1080 24-bit bitmap, centred, Xvfb 1920x1080x24"
printf '%-34s %8s ms\n' "velumspin (1,000-bitmap collection)" "$spin_ms" \
    "hsetroot -center" "$hsetroot_ms" "feh --no-fehbg --bg-center" "$feh_ms"
awk -v s="$spin_ms" -v f="$fastest" 'BEGIN {printf "velumspin / fastest: %.2f (target <= 0.75)\n", s / f}'
awk -v k="$peak_kb" -v l="$limit_mb" -v p="$root_mb" \
    'BEGIN {printf "velumspin peak memory, 3840x2160 bitmap centred: %.1f MB (root pixmap %s MB, limit %s MB)\n", k * 1.024 / 1000, p, l}'
