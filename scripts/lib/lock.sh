# One run at a time on a thing our scripts write into (a Wine prefix, the demo's folder,
# a Debian root): the one lock of every script of ours. Source it; the caller sets SCRIPT_NAME
# and calls lock_release_all in its EXIT trap.
LOCK_MARKER="# stripewell lock"
# Locks this process holds, released by lock_release_all.
LOCKS_HELD=()
# The holder of the lock lock_take found in use: its process number and what it runs.
LOCK_HOLDER=""

# proc_start PID: the process's start time (clock ticks after boot), or nothing.
proc_start() {
    local stat fields
    { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
    # Field 2, the command's name, may hold spaces and parentheses: count after it.
    read -ra fields <<<"${stat##*) }"
    echo "${fields[19]:-}"
}

# The text of a lock held by this process.
lock_text() { printf '%s: held by scripts/%s\npid %s\nstart %s\n' "$LOCK_MARKER" "$SCRIPT_NAME" $$ "$(proc_start $$)"; }

# lock_holder LOCK: sets LOCK_PID and LOCK_START from a lock file of ours; fails on
# anything else (what it reads is capped: a lock is three short lines).
lock_holder() {
    local text re=$'\npid ([0-9]{1,10})\nstart ([0-9]{1,20})$'
    LOCK_PID="" LOCK_START=""
    [ -f "$1" ] && [ ! -L "$1" ] || return 1
    text=$(head -c 4096 -- "$1" 2>/dev/null) || return 1
    [[ $text == "$LOCK_MARKER:"* && $text =~ $re ]] || return 1
    LOCK_PID=${BASH_REMATCH[1]} LOCK_START=${BASH_REMATCH[2]}
}

# A lock of the flock kind: a file of up to 16 digits (a holder's process number, or
# nothing) that its holder keeps a flock on. It counts as held while a process holds that
# flock, and is taken over once none does.
lock_is_flock_file() {
    [ -f "$1" ] && [ ! -L "$1" ] && [ "$(stat -c %s -- "$1")" -le 16 ] &&
        [[ $(head -c 16 -- "$1") =~ ^[0-9]*$ ]]
}
lock_flock_held() {
    local fd held=0
    { exec {fd}<"$1"; } 2>/dev/null || return 1
    flock -n "$fd" || held=1
    exec {fd}<&-
    [ $held -eq 1 ]
}

# A lock is a file of ours beside the thing (PREFIX.lock, say), holding our marker line
# and the process number and start time of the run that holds it. It is made whole and
# at once: the text goes into a new file in the same folder, which is then hard-linked
# to the lock's name; a link never replaces what is there and never follows a symbolic
# link at that name. So anything at the lock's name that is not a lock of ours (a link,
# a folder, a person's file) is refused and left as it is.
#
# No descriptor is held while the run goes on, so nothing the run starts (a Wine server,
# Xvfb) can keep a lock after the run. A run that ends is gone from its lock at once
# (its EXIT trap); a run killed outright (kill -9) leaves a lock whose holder no longer
# runs, which the next run takes over. A process number alone may name another process
# by then; with the process's start time (/proc/PID/stat field 22) it names one only.
# Looking at a lock and taking it happen under a short flock of the lock's folder, so
# two runs never both take over one stale lock.
#
# lock_try LOCK: takes LOCK unless a live run holds it. Returns 0 when taken, 1 when
# held (LOCK_HOLDER says by whom), 2 when something not ours is at that name or its
# folder cannot be locked (said on standard error).
lock_try() {
    local lock=$1 dir fd tmp status=0
    dir=$(dirname -- "$lock")
    mkdir -p -- "$dir" 2>/dev/null && { exec {fd}<"$dir"; } 2>/dev/null || {
        echo "$SCRIPT_NAME: cannot make or open the folder $dir for the lock $lock" >&2
        return 2
    }
    if ! flock -w 10 "$fd"; then
        exec {fd}<&-
        echo "$SCRIPT_NAME: the folder $dir stayed locked for 10 s: cannot take the lock $lock" >&2
        return 2
    fi
    if [ -e "$lock" ] || [ -L "$lock" ]; then
        if lock_holder "$lock"; then
            if [ "$(proc_start "$LOCK_PID")" = "$LOCK_START" ]; then
                LOCK_HOLDER="process $LOCK_PID: $(ps -o args= -p "$LOCK_PID" 2>/dev/null | cut -c1-240 || true)"
                status=1
            else
                rm -f -- "$lock"  # stale: its run was killed
            fi
        elif lock_is_flock_file "$lock"; then
            if lock_flock_held "$lock"; then
                LOCK_HOLDER="a run of an earlier version of these scripts"
                status=1
            else
                rm -f -- "$lock"
            fi
        elif [ ! -e "$lock" ] && [ ! -L "$lock" ]; then
            :  # its holder let it go while we looked (a release takes no flock)
        else
            echo "$SCRIPT_NAME: refused: $lock is in the way of this run's lock: it is not a lock file" \
                 "of ours (it is $(stat -c %F -- "$lock" 2>/dev/null || echo 'unreadable')), so it was" \
                 "left as it is. Remove it yourself if nothing of yours needs it." >&2
            status=2
        fi
    fi
    if [ $status -eq 0 ]; then
        if tmp=$(mktemp -- "$lock.XXXXXX" 2>/dev/null); then
            lock_text >"$tmp" && chmod 644 -- "$tmp" && ln -T -- "$tmp" "$lock" 2>/dev/null || status=2
            rm -f -- "$tmp"
        else
            status=2
        fi
        if [ $status -eq 0 ]; then
            LOCKS_HELD+=("$lock")
        else
            echo "$SCRIPT_NAME: cannot write the lock $lock" >&2
        fi
    fi
    exec {fd}<&-
    return $status
}

# lock_take LOCK [WAIT_SECONDS]: lock_try, trying again for up to WAIT_SECONDS (default
# 0) while a live run holds the lock.
lock_take() {
    local lock=$1 until status
    until=$(( $(date +%s) + ${2:-0} ))
    while :; do
        status=0
        lock_try "$lock" || status=$?
        [ $status -eq 1 ] && [ "$(date +%s)" -lt "$until" ] || return $status
        sleep 0.2
    done
}

# lock_release LOCK: removes LOCK if this process holds it; leaves anything else alone.
lock_release() {
    local i
    if lock_holder "$1" && [ "$LOCK_PID" = $$ ] && [ "$LOCK_START" = "$(proc_start $$)" ]; then
        rm -f -- "$1"
    fi
    for i in "${!LOCKS_HELD[@]}"; do
        [ "${LOCKS_HELD[i]}" != "$1" ] || unset 'LOCKS_HELD[i]'
    done
}

lock_release_all() {
    local lock
    for lock in "${LOCKS_HELD[@]}"; do lock_release "$lock"; done
}

# lock_hold DIR WHAT OPTION: one run at a time on DIR (WHAT: what it is, for messages):
# takes DIR.lock until this run ends, or says which run holds it and exits 1, leaving
# that run alone (OPTION: how another is given); exits 2 when DIR.lock is not ours.
lock_hold() {
    local status=0
    lock_take "$1.lock" || status=$?
    case $status in
        0) ;;
        1) echo "$SCRIPT_NAME: $2 $1 is in use by another run ($LOCK_HOLDER); this run leaves it" \
                "alone. Wait for that one to end, or give another $3." >&2
           exit 1 ;;
        *) exit 2 ;;
    esac
}
