# Shared by the Wine tests that run a program as a person does. Source it after setting `work`
# (a temporary folder); `cleanup_more` may name what the test's own cleanup removes.

xvfb=
fail() {
    echo "FAIL: $*"
    exit 1
}

# The Wine server and the private X server go, with the work folder and what the test names.
cleanup() {
    "${VELUM_WINESERVER:?}" -k 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work" ${cleanup_more:-}
}
trap cleanup EXIT

# The person's store, %APPDATA%\Velumor, as a folder of the prefix.
store_folder() {
    local appdata
    appdata=$("${VELUM_WINE:?}" cmd /c echo %APPDATA% | tr -d '\r')
    "$VELUM_WINE" winepath -u "$appdata\\Velumor" | tr -d '\r'
}

# start_display WIDTH HEIGHT: a private Xvfb screen as DISPLAY, its number in `display`.
start_display() {
    Xvfb -displayfd 3 -screen 0 "$1x$2x24" -noreset -nolisten tcp \
        3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        display=$(cat "$work/display")
        [ -n "$display" ] && break
        sleep 0.1
    done
    [ -n "$display" ] || fail "Xvfb did not start"
    export DISPLAY=:$display
}
