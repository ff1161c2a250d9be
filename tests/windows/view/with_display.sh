#!/bin/bash
# Runs a command with a private X display, as Wine needs one to make windows.
set -u
Xvfb_bin=$(command -v Xvfb) || { echo "Xvfb is missing"; exit 77; }
for n in $(seq 140 199); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break
done
"$Xvfb_bin" ":$n" -screen 0 "${VELUM_SCREEN:-1024x768x24}" -nolisten tcp -noreset >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
for _ in $(seq 100); do
    [ -e /tmp/.X11-unix/X$n ] && break
    sleep 0.05
done
DISPLAY=":$n" "$@"
