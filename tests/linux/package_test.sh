#!/usr/bin/env bash
# Builds the .deb, installs it, runs the installed velumspin under Xvfb, removes it again.
# Usage: package_test.sh BUILD_DIR. Exit 77: skipped.
set -euo pipefail
build=$(realpath "$1")
if [[ $(id -u) -ne 0 ]] || ! command -v dpkg >/dev/null; then echo "needs root and dpkg"; exit 77; fi
dpkg-query -W -f='${Status}' velum 2>/dev/null | grep -q 'ok installed' && { echo "velum is installed; not ours"; exit 77; }
tmp=$(mktemp -d)
xvfb=
cleanup() {
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null || true
    dpkg -P velum >/dev/null 2>&1 || true
    rm -rf "$tmp"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$tmp/deb" >/dev/null)
dpkg -i "$tmp"/deb/velum_*.deb
files=(/usr/bin/velumspin /usr/bin/velumdesk /usr/share/icons/hicolor/scalable/apps/velum.svg
    /usr/share/applications/velumdesk.desktop /usr/share/man/man1/velumspin.1.gz
    /usr/share/man/man1/velumdesk.1.gz /usr/share/metainfo/io.github.velum.Velum.metainfo.xml)
for f in "${files[@]}" /etc/xdg/autostart/velumspin.desktop; do [[ -f $f ]] || { echo "missing $f"; exit 1; }; done

# A 2x2 24-bit bitmap, a store naming one collection, and the collection holding it.
conf=$tmp/config/velumor
mkdir -p "$conf"
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0' >"$tmp/one.bmp"
printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\xff\0\0\0\0\xff\0\0\0\xff\0\xff\xff\xff\0\0' >>"$tmp/one.bmp"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"Collections"="Sky"\r\n"Current"="Sky"\r\n' >"$conf/user.reg"
printf '"Bmp","Sky","%s"\r\n' "$tmp/one.bmp" >"$conf/velum.cfg"

Xvfb -displayfd 3 -screen 0 64x48x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [[ -s $tmp/display ]] && break; sleep 0.1; done
display=":$(cat "$tmp/display")"
env -i HOME="$tmp" XDG_CONFIG_HOME="$tmp/config" DISPLAY="$display" /usr/bin/velumspin
grep -qF '"Index","Sky"," 1"' "$conf/velum.cfg" || { echo "position not saved:"; cat "$conf/velum.cfg"; exit 1; }
# Centred on 64x48: the bitmap's top left pixel (green) lands at 31,23.
pixel=$(import -display "$display" -window root -crop 1x1+31+23 -depth 8 txt:-)
[[ $pixel == *'#00FF00'* ]] || { echo "not shown: $pixel"; exit 1; }

dpkg -r velum
for f in "${files[@]}"; do [[ ! -e $f ]] || { echo "left behind: $f"; exit 1; }; done
dpkg -P velum # the autostart entry is a conffile: only a purge takes it
[[ ! -e /etc/xdg/autostart/velumspin.desktop ]] || { echo "left behind: autostart entry"; exit 1; }
if dpkg -l velum 2>/dev/null | grep -q '^[a-z]i'; then echo "velum still installed"; exit 1; fi
echo "package installed, ran and removed"
