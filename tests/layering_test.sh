#!/usr/bin/env bash
# Each folder of src/ includes only its own headers and those of the folders below it, and only
# the platform halves and the views include a system or toolkit header. A view includes the
# layers below it and its own toolkit's folders, never the other toolkit's; the core never
# includes a view.
set -u
src=${1:-$(dirname "$0")/../src}
failed=0

# allowed FOLDER "FOLDERS IT MAY INCLUDE": an include's folder must be one of them exactly, so
# "mainwindow" does not let in "mainwindow/qt".
allowed() {
    local dir=$1 folders=$2 file inc
    for file in $(find "$src/$dir" -maxdepth 1 -name '*.cpp' -o -maxdepth 1 -name '*.h'); do
        while read -r inc; do
            [[ " $folders " == *" ${inc%/*} "* ]] && continue
            echo "$file includes \"$inc\", a folder above it or beside it"
            failed=1
        done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    done
}

core="common store engine mainwindow about"
allowed common "common"
allowed store "common store"
allowed engine "common engine"
allowed about "common about"
allowed mainwindow "common store engine mainwindow"
allowed cycler "common store engine mainwindow cycler"
allowed common/win32 "common common/win32"
allowed about/qt "common about about/qt"
allowed about/win32 "common common/win32 about about/win32"
allowed mainwindow/qt "$core about/qt mainwindow/qt"
allowed mainwindow/win32 "$core common/win32 about/win32 mainwindow/win32"

# Every folder of src/ is checked above: a new one needs its line.
while read -r dir; do
    case $dir in
    common | store | engine | about | mainwindow | cycler | common/win32 | about/qt | \
        about/win32 | mainwindow/qt | mainwindow/win32) ;;
    *)
        echo "src/$dir: a folder the layering check does not know"
        failed=1
        ;;
    esac
done < <(cd "$src" && find . -mindepth 1 -type d | sed 's|^\./||')

# The portable core names no system or toolkit header outside its platform halves.
while read -r file; do
    case $file in
    *_linux.cpp | *_win.cpp | */qt/* | */win32/*) continue ;;
    esac
    if grep -nE '^#include <(windows\.h|Q[A-Za-z]*|X11/|gio/|glib|unistd\.h|sys/)' "$file"; then
        echo "$file: a system header in the portable core"
        failed=1
    fi
done < <(find "$src" -name '*.cpp' -o -name '*.h')

# A Qt folder names no Windows header, a Win32 folder no Qt header.
while read -r file; do
    if grep -nE '^#include <(windows\.h|windowsx\.h|commctrl\.h|shellapi\.h)>' "$file"; then
        echo "$file: a Windows header in a Qt view"
        failed=1
    fi
done < <(find "$src" -path '*/qt/*' \( -name '*.cpp' -o -name '*.h' \))
while read -r file; do
    if grep -nE '^#include <Q[A-Za-z]*>' "$file"; then
        echo "$file: a Qt header in a Win32 view"
        failed=1
    fi
done < <(find "$src" -path '*/win32/*' \( -name '*.cpp' -o -name '*.h' \))

if ((failed)); then
    exit 1
fi
echo "layers: every include runs downward, and no view includes the other toolkit's"
