#!/usr/bin/env bash
# Times velumspin against hsetroot and feh putting the same picture on an Xvfb root window of
# 1920x1080, in three styles: a 1920x1080 24-bit bitmap centred, a 6000x4000 baseline JPEG
# filled, a 3840x2160 PNG fitted; and measures velumspin's peak memory on the JPEG and on a
# 3840x2160 bitmap centred.
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
# Photo-like: smooth shapes with grain, as a camera's and a screenshot's files are.
/usr/bin/convert -size 1500x1000 plasma:fractal -resize '6000x4000!' -attenuate 0.4 \
    +noise Gaussian -quality 90 -sampling-factor 4:2:0 -interlace none "$work/photo.jpg"
/usr/bin/convert -size 960x540 plasma:fractal -resize '3840x2160!' -attenuate 0.2 \
    +noise Gaussian "$work/screen.png"

collection() { # collection PICTURE STYLE: 1,000 entries, all the same picture, in that style
    {
        for i in $(seq 1000); do printf '"Bmp","Bench","%s"\r\n' "$1"; done
        printf '"TileWallpaper","Bench","%s"\r\n"CycleOptions","Bench","0"\r\n' "$2"
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

peak_mb() { # peak_mb: velumspin's peak resident memory in MB, on the collection set up
    /usr/bin/time -f %M "$spin" 2>&1 >/dev/null | tail -n 1 | awk '{printf "%.1f", $1 * 1.024 / 1000}'
}

root_mb=$(awk 'BEGIN {printf "%.1f", 1920 * 1080 * 4 / 1e6}') # the root pixmap's bytes
limit_mb=$(awk -v p="$root_mb" 'BEGIN {printf "%.1f", 1.5 * p + 10}')

# race TITLE PICTURE STYLE HSETROOT_FLAG FEH_FLAG TARGET: the three interleaved, so that a busy
# moment of the machine weighs on all alike.
race() {
    collection "$2" "$3"
    local spin_us=() hsetroot_us=() feh_us=()
    for _ in $(seq "$runs"); do
        spin_us+=("$(elapsed_us "$spin")")
        hsetroot_us+=("$(elapsed_us hsetroot "$4" "$2")")
        feh_us+=("$(elapsed_us feh --no-fehbg "$5" "$2")")
    done
    local spin_ms hsetroot_ms feh_ms fastest
    spin_ms=$(median_ms "${spin_us[@]}")
    hsetroot_ms=$(median_ms "${hsetroot_us[@]}")
    feh_ms=$(median_ms "${feh_us[@]}")
    fastest=$(printf '%s\n%s\n' "$hsetroot_ms" "$feh_ms" | sort -g | head -n 1)
    echo "$1, median of $runs runs, Xvfb 1920x1080x24"
    printf '  %-34s %8s ms\n' "velumspin (1,000-entry collection)" "$spin_ms" \
        "hsetroot $4" "$hsetroot_ms" "feh --no-fehbg $5" "$feh_ms"
    awk -v s="$spin_ms" -v f="$fastest" -v t="$6" \
        'BEGIN {printf "  velumspin / fastest: %.2f (target <= %s)\n", s / f, t}'
}

# hsetroot's -cover is what Fill does (its -fill stretches), -full what Fit does.
race "1920x1080 24-bit bitmap, Center" "$work/hd.bmp" 0 -center --bg-center 0.5
race "6000x4000 baseline JPEG, Fill" "$work/photo.jpg" 10 -cover --bg-fill 0.5
echo "  velumspin peak memory: $(peak_mb) MB (root pixmap $root_mb MB, limit $limit_mb MB)"
race "3840x2160 PNG, Fit" "$work/screen.png" 6 -full --bg-max 0.8
collection "$work/uhd.bmp" 0
echo "velumspin peak memory, 3840x2160 bitmap centred: $(peak_mb) MB (limit $limit_mb MB)"
