# What the X-level tests share: waiting with bounds, finding and measuring windows,
# clicking, and digests of what the screen shows. Source it; set FB_FILE to the
# framebuffer file of the Xvfb that xvfb.sh starts (-fbdir).
XLOOK_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# start_openbox: a window manager, as a desktop has; sets WM_PID (stop it by that PID).
WM_PID=""
start_openbox() {
    command -v openbox >/dev/null || { echo "openbox is missing (scripts/install-deps)" >&2; return 1; }
    openbox >/dev/null 2>&1 &
    WM_PID=$!
    wait_for 100 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window' && return 0
    echo "openbox did not come up within 10 s" >&2
    return 1
}
stop_openbox() {
    [ -n "$WM_PID" ] || return 0
    kill "$WM_PID" 2>/dev/null || true
    wait "$WM_PID" 2>/dev/null || true
    WM_PID=""
}

# wait_for TENTHS COMMAND...: waits up to TENTHS tenths of a second for COMMAND to succeed.
wait_for() {
    local tenths=$1 _
    shift
    for _ in $(seq "$tenths"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
# visible SEARCH...: the first visible window xdotool finds so (--class X, --name X).
visible() { xdotool search --onlyvisible "$@" 2>/dev/null | head -n1; }
shown() { [ -n "$(visible "$@")" ]; }
# geometry WINDOW: X, Y, WIDTH, HEIGHT of its client area on the root window (xwininfo:
# xdotool counts a window manager's frame twice).
geometry() {
    local info
    info=$(xwininfo -id "$1")
    X=$(awk '/Absolute upper-left X:/ { print $4 }' <<<"$info")
    Y=$(awk '/Absolute upper-left Y:/ { print $4 }' <<<"$info")
    WIDTH=$(awk '/^ *Width:/ { print $2 }' <<<"$info")
    HEIGHT=$(awk '/^ *Height:/ { print $2 }' <<<"$info")
}
click() { xdotool mousemove "$1" "$2" click 1; }
# shows X,Y,W,H: a digest of what the rectangle shows now, from Xvfb's framebuffer.
shows() { python3 "$XLOOK_DIR/look.py" "$FB_FILE" --digest "$1"; }
# changed RECT DIGEST: whether the rectangle shows something else than DIGEST now.
changed() { [ "$(shows "$1")" != "$2" ]; }
# steady TRIES SECONDS COMMAND...: waits until COMMAND prints the same twice in a row,
# SECONDS apart, trying at most TRIES times; false when it never did.
steady() {
    local tries=$1 pause=$2 before="" now _
    shift 2
    for _ in $(seq "$tries"); do
        now=$("$@" 2>/dev/null) || now=""
        [ -n "$now" ] && [ "$now" = "$before" ] && return 0
        before=$now
        sleep "$pause"
    done
    return 1
}
# menu_card_test DX DY: File > Stripewell Program with the mouse, on the command bar of
# a main window whose client area is at DX,DY; the item is clicked once the menu shows.
menu_card_test() {
    local item="$(($1 + 30)),$(($2 + 28)),80,18" before
    before=$(shows "$item")
    click $(($1 + 20)) $(($2 + 13))
    wait_for 50 changed "$item" "$before" || return 1
    click $(($1 + 60)) $(($2 + 37))
}
