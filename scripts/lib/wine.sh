# How our scripts run Wine: Debian's 64-bit Wine, quiet but for a DLL that is not found,
# no Mono or Gecko installers and no menu entries on the host. Source it; WINE,
# WINESERVER, WINEDEBUG and WINEDLLOVERRIDES may be set beforehand.
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEDEBUG=${WINEDEBUG:--all,err+module}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export WINEARCH=win64

# Wine turns the bytes of Unix file names and of its command line into characters by the
# C library's character type. With none set (no LANG, LC_ALL or LC_CTYPE, as in Debian's
# container images) that is ASCII, and a folder or deck named in Japanese, or with an
# emoji, names nothing any more. So Wine gets UTF-8 whenever the caller's character type
# is not UTF-8: C.UTF-8, which glibc has built in on every Debian 12 and 13. A caller's
# UTF-8 locale is left as it is; a caller's LC_ALL, which would hide LC_CTYPE, is handed
# on to the other categories instead, so that they stay as the caller set them.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
    if [ -n "${LC_ALL:-}" ]; then
        for category in LC_COLLATE LC_MESSAGES LC_MONETARY LC_NUMERIC LC_TIME; do
            export "$category=$LC_ALL"
        done
        unset LC_ALL
    fi
    export LC_CTYPE=C.UTF-8
fi

# winpath FILE: the name a Windows program gives FILE (drive Z: is this machine's root).
winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }

# bounded SECONDS COMMAND...: runs COMMAND, its standard input closed, for at most
# SECONDS (then TERM, and KILL 5 s later; status 124), and returns its status. It runs in
# the background while this shell waits for it: bash runs a signal's trap only once the
# command in the foreground has ended, and a Wine program that waits for the rest of Wine
# may never end by itself. `timeout` puts the command in a process group of its own, so
# Ctrl+C reaches this shell, whose trap ends the command (end_jobs) and the prefix.
bounded() {
    local limit=$1
    shift
    timeout -k 5 "$limit" "$@" </dev/null &
    wait $!
}

# end_jobs: ends what this shell started in the background and has not seen end: TERM,
# then KILL after 2 s.
end_jobs() {
    local pids _
    pids=$(jobs -p)
    [ -n "$pids" ] || return 0
    kill $pids 2>/dev/null || true
    for _ in $(seq 40); do
        kill -0 $pids 2>/dev/null || break
        sleep 0.05
    done
    kill -KILL $pids 2>/dev/null || true
    wait $pids 2>/dev/null || true
}

# prefix_processes PREFIX: the processes of Wine (the server, Wine's services, our
# programs) that run with the Wine prefix PREFIX in their environment; others that have
# it there (Xvfb, this shell's parents) are not Wine's.
prefix_processes() {
    local pid=$BASHPID line parents=" " found file wine_dir
    wine_dir=$(dirname -- "$(realpath -- "$WINE")")
    while [ "${pid:-0}" -gt 1 ]; do
        parents+="$pid "
        { read -r line <"/proc/$pid/stat"; } 2>/dev/null || break
        line=${line##*) }
        pid=${line#* }
        pid=${pid%% *}
    done
    found=$(grep -slzxF -- "WINEPREFIX=$1" /proc/[0-9]*/environ 2>/dev/null || true)
    for file in $found; do
        pid=${file#/proc/}
        pid=${pid%/environ}
        if [[ $parents != *" $pid "* && $(readlink "/proc/$pid/exe" 2>/dev/null) == "$wine_dir"/* ]]; then
            echo "$pid"
        fi
    done
}

# end_prefix PREFIX: ends every process of the Wine prefix PREFIX: through its server
# (wineserver -k), then by process number any left with the prefix in its environment (a
# Wine program that had not reached the server yet starts one of its own). Only for a
# prefix this run holds.
end_prefix() {
    local pids _
    [ -d "$1" ] && WINEPREFIX=$1 timeout 10 "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    for _ in $(seq 10); do
        pids=$(prefix_processes "$1")
        [ -n "$pids" ] || return 0
        kill -KILL $pids 2>/dev/null || true
        sleep 0.2
    done
}
