# Starts Xvfb on a free display, for scripts that draw without a person's display.
# Source it, then call start_xvfb (and stop_xvfb in the caller's EXIT trap).
XVFB_PID=""

# start_xvfb WORK_DIR [SCREEN [FBDIR]]: sets DISPLAY and XVFB_PID (with FBDIR, Xvfb
# keeps its framebuffer there as an XWD file, Xvfb_screen0). Returns 1 with a message
# when Xvfb is missing or does not start.
start_xvfb() {
    local work=$1 screen=${2:-1024x768x24} fbdir=()
    [ -n "${3:-}" ] && fbdir=(-fbdir "$3")
    if ! command -v Xvfb >/dev/null; then
        echo "Xvfb not found (Debian package xvfb)" >&2
        return 1
    fi
    # Xvfb picks a free display and writes its number to fd 3.
    Xvfb -displayfd 3 -screen 0 "$screen" "${fbdir[@]}" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    XVFB_PID=$!
    local _
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || { echo "Xvfb did not start" >&2; XVFB_PID=""; return 1; }
        sleep 0.1
    done
    [ -s "$work/display" ] || { echo "Xvfb gave no display" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$work/display")"
}

stop_xvfb() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}
