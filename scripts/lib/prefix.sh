# Wine prefixes of ours, made one way by every script that needs one. Source it after
# wine.sh and owned.sh (and dialog-fonts.sh for the settings it offers), with SCRIPT_NAME set.

# The ready marker: the prefix's version, written once the prefix is whole.
PREFIX_READY=.stripewell-ready
# Completion markers that make a folder a prefix of ours without the owner's marker: only
# a prefix our scripts made holds them.
PREFIX_DONE_MARKERS=".stripewell-run .stripewell-ready"

# The owner's marker goes in first (owned.sh), then wineboot and the settings asked for,
# and the ready marker with the prefix's version last: a prefix whose making was cut
# short (Ctrl+C) is made again, one of an older version too, and a folder we did not make
# is never taken for one. A copy never takes the markers of the prefix it copies.
#
# prefix_ready DIR VERSION: DIR is a whole prefix of ours of that version.
prefix_ready() { [ "$(cat "$1/$PREFIX_READY" 2>/dev/null)" = "$2" ]; }

# prefix_check DIR WHAT: refuses (2) a folder that is not a prefix of ours, nor empty.
prefix_check() { owned_check "$1" wine-prefix "$2" "$PREFIX_DONE_MARKERS"; }

# make_prefix DIR VERSION WHAT SETTINGS...: makes DIR a prefix of that version unless it
# is one, running SETTINGS (a command, such as map_dialog_fonts 240x320) in it once
# wineboot has made it. Returns 0 when it made it, 1 when the prefix was ready; exits 2
# on a folder that is not ours. The caller holds DIR (lock.sh). What a run killed while
# making it left running there is ended first. Every Wine step has a time limit and runs
# so that the caller's traps act at once (bounded).
make_prefix() {
    local dir=$1 version=$2 what=$3
    shift 3
    prefix_ready "$dir" "$version" && return 1
    end_prefix "$dir"
    owned_remove "$dir" wine-prefix "$what" "$PREFIX_DONE_MARKERS" || exit 2
    owned_claim "$dir" wine-prefix "$what" || exit 2
    local -x WINEPREFIX=$dir
    { bounded 120 "$WINE" wineboot --init >/dev/null 2>&1 && "$@" && bounded 60 "$WINESERVER" -w; } ||
        { echo "$SCRIPT_NAME: cannot make the Wine prefix $dir" >&2; exit 1; }
    echo "$version" >"$dir/$PREFIX_READY"
}

# copy_prefix FROM DIR VERSION WHAT SETTINGS...: DIR as a copy of the prefix FROM (whose
# server must not run), with SETTINGS run in it; as make_prefix otherwise.
copy_prefix() {
    local from=$1 dir=$2 version=$3 what=$4
    shift 4
    prefix_ready "$dir" "$version" && return 1
    end_prefix "$dir"
    owned_remove "$dir" wine-prefix "$what" "$PREFIX_DONE_MARKERS" || exit 2
    owned_claim "$dir" wine-prefix "$what" || exit 2
    find "$from" -mindepth 1 -maxdepth 1 ! -name "$OWNED_MARKER" ! -name "$PREFIX_READY" ! -name .stripewell-run \
        -exec cp -a -t "$dir" {} +
    local -x WINEPREFIX=$dir
    { "$@" && bounded 60 "$WINESERVER" -w; } || { echo "$SCRIPT_NAME: cannot make the Wine prefix $dir" >&2; exit 1; }
    echo "$version" >"$dir/$PREFIX_READY"
}

# start_server: the prefix's server, detached with closed streams, so that it never
# holds the caller's output open; it ends 10 s after its last program.
start_server() { bounded 20 "$WINESERVER" -p10 >/dev/null 2>&1; }

# null_driver: Wine's graphics driver that needs no display (windows and dialogs work,
# on a 1024 x 768 screen), for prefixes that run tests.
null_driver() { bounded 60 "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1; }
