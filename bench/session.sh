# Shared by the benchmarks that need a screen. Source it after scripts/lib.sh.

# start_session: a temporary folder in $work, a private Xvfb screen of 1920x1080x24 as DISPLAY
# (with -noreset, so a retained root pixmap survives), and a store folder of our own. Both go
# away when the script ends.
start_session() {
    work=$(mktemp -d)
    local fd_file=$work/display
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -noreset -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
    for _ in $(seq 100); do [[ -s $fd_file ]] && break; sleep 0.05; done
    export DISPLAY=:$(head -n 1 "$fd_file")
    export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
    export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
    unset WAYLAND_DISPLAY XDG_CURRENT_DESKTOP
    mkdir -p "$XDG_CONFIG_HOME/velumor"
    mkdir -m 700 -p "$XDG_RUNTIME_DIR"
}
