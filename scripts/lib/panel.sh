# The reader panel beside Stripewell's screen, for scripts/run, in a Wine prefix of its
# own. Source it after wine.sh and prefix.sh.

# The panel runs in a Wine prefix of its own. Wine 8 keeps one screen for all the
# programs of a prefix: beside the 240 x 320 screen each of them takes the screen to be
# 240 x 320, and X shows of each top-level window only the part inside that screen (Wine
# sizes a window's drawing surface to it): the panel came out cut to 256 x 320. A second
# screen sized to the panel changes the screen of Stripewell's programs too. In a prefix
# of its own the panel has the display's screen; `mcrsim relay`, run in Stripewell's
# prefix, carries its requests to the reader over two pipes.
#
# panel_prefix RUN_PREFIX PANEL_PREFIX VERSION WHAT: the panel's prefix, a copy of the
# run's with no screen of its own, made while no server of the run's prefix runs.
panel_prefix() { copy_prefix "$1" "$2" "$3" "$4" prefix_settings none || true; }

# screen_to_top_left: moves the Wine desktop window (Stripewell's screen) to the top left
# and prints where the panel goes beside it (--at X,Y), as no window manager places them
# side by side and one may not. Prints nothing when there is no such window.
screen_to_top_left() {
    local window geometry x y width
    command -v xdotool >/dev/null || return 0
    window=$(xdotool search --onlyvisible --class '^explorer\.exe$' 2>/dev/null | head -n1)
    [ -n "$window" ] || return 0
    # --sync waits for the move itself; bounded, as a window manager may not make it.
    timeout 5 xdotool windowmove --sync "$window" 0 0 >/dev/null 2>&1 || true
    geometry=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null) || return 0
    x=$(sed -n 's/^X=\([0-9-]*\)$/\1/p' <<<"$geometry")
    y=$(sed -n 's/^Y=\([0-9-]*\)$/\1/p' <<<"$geometry")
    width=$(sed -n 's/^WIDTH=\([0-9]*\)$/\1/p' <<<"$geometry")
    [ -n "$x" ] && [ -n "$y" ] && [ -n "$width" ] && echo "--at $((x + width + 12)),$y"
}

# start_panel BIN WORK PANEL_PREFIX PID [--at X,Y]: the relay in this prefix (WINEPREFIX)
# and the panel in PANEL_PREFIX, both in the background, with their pipes in WORK.
start_panel() {
    local bin=$1 work=$2 panel_prefix=$3 pid=$4
    shift 4
    mkfifo "$work/requests" "$work/replies"
    "$WINE" "$(winpath "$bin/mcrsim.exe")" relay --pid "$pid" <"$work/requests" >"$work/replies" &
    # That prefix's server detached as well: one the panel started would keep the pipes
    # open as its own output after the panel ended.
    WINEPREFIX=$panel_prefix start_server
    # Each pipe one way, opened in the relay's order (requests, then replies) so that
    # neither side waits for ever: when the relay ends, the panel reads end-of-file.
    WINEPREFIX=$panel_prefix "$WINE" "$(winpath "$bin/mcrsim-panel.exe")" --relay --pid "$pid" "$@" \
        >"$work/requests" <"$work/replies" &
}
