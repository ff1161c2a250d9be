#!/usr/bin/env bash
# Each layer of src/ includes only its own headers and those of the layers below it, and only
# the platform halves and the views include a system or toolkit header.
set -u
src=${1:-$(dirname "$0")/../src}
failed=0

# allowed LAYER_DIR "LAYERS IT MAY INCLUDE"
allowed() {
    local dir=$1 layers=$2 file inc
    for file in $(find "$src/$dir" -maxdepth 1 -name '*.cpp' -o -maxdepth 1 -name '*.h'); do
        while read -r inc; do
            [[ " $layers " == *" ${inc%%/*} "* ]] && continue
            echo "$file includes \"$inc\", a layer above it or beside it"
            failed=1
        done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    done
}

allowed common "common"
allowed store "common store"
allowed engine "common engine"
allowed about "common about"
allowed mainwindow "common store engine mainwindow"
allowed cycler "common store engine mainwindow cycler"

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

if ((failed)); then
    exit 1
fi
echo "layers: every include runs downward"
