# Folders our scripts make and may delete again. Source it; the caller sets SCRIPT_NAME (the
# command's name, for messages).

# A folder is ours when it holds OWNED_MARKER, which we write into it right after we
# created it (or found it empty, so that there is nothing in it to lose), before anything
# else goes in. The marker's first line names what we made the folder as (KIND: a Wine
# prefix, the demo's output, a Debian root), so that a folder made as one is never taken
# for another: a wrong --prefix must not delete a folder of screenshots wholesale. Our
# scripts delete a folder only when it is ours of that kind, has no file system mounted
# inside it, and then without crossing into another file system; a folder that exists
# with something in it and is not ours is refused with exit 2 and left as it is. A folder
# is ours too when it holds one of the completion markers its caller names (DONE): files
# our scripts write only into a folder they made, once it is whole.
OWNED_MARKER=.stripewell-made

# The files our runs write into a folder of KIND: a folder in a build folder of ours
# (beside its CMakeCache.txt) that holds these files, nothing else and no marker is taken
# over, its files as the last run's.
owned_unmarked_files() {
    case $1 in
        demo-output) echo "about.png card-err-parity.png card-full.png main.png" ;;
        screenshots) echo "about.png card.png main-resized.png main.png" ;;
    esac
}

# owned_name NAME: NAME may be listed in a marker: one plain file name, no control
# characters (a newline would split it in two), not the marker itself.
owned_name() {
    [[ -n $1 && ${#1} -le 255 && $1 != . && $1 != .. && $1 != "$OWNED_MARKER" && $1 != */* &&
       $1 != *[[:cntrl:]]* ]]
}

# owned_marked DIR KIND: DIR holds our marker of that kind, a file and not a link.
owned_marked() {
    local marker=$1/$OWNED_MARKER first=""
    [ -f "$marker" ] && [ ! -L "$marker" ] || return 1
    IFS= read -r first < <(head -c 256 -- "$marker" 2>/dev/null) || true
    [[ $first == "# stripewell $2:"* ]]
}

# owned_only_unmarked DIR KIND: DIR is in a build folder of ours and holds files our runs
# write there (owned_unmarked_files) and nothing else.
owned_only_unmarked() {
    local names cache entry any=0
    names=" $(owned_unmarked_files "$2") "
    cache=$(dirname -- "$1")/CMakeCache.txt
    [ "$names" != "  " ] && [ -f "$cache" ] &&
        grep -qx 'CMAKE_PROJECT_NAME:STATIC=Stripewell' < <(head -c 1048576 -- "$cache") || return 1
    while IFS= read -r -d '' entry; do
        entry=${entry##*/}
        [[ $names == *" $entry "* ]] && [ -f "$1/$entry" ] && [ ! -L "$1/$entry" ] || return 1
        any=1
    done < <(find "$1" -mindepth 1 -maxdepth 1 -print0 2>/dev/null)
    [ $any -eq 1 ]
}

# owned_state DIR KIND [DONE]: prints absent, empty, ours, unmarked (owned_only_unmarked)
# or foreign (a file, a link, or a folder with something in it and no marker of ours of
# that kind). DONE: the names, space-separated, of completion markers that make a folder
# ours as well.
owned_state() {
    local dir=$1 kind=$2 done_markers=${3:-} name done=0
    for name in $done_markers; do [ -f "$dir/$name" ] && done=1; done
    if [ ! -e "$dir" ] && [ ! -L "$dir" ]; then
        echo absent
    elif [ -L "$dir" ] || [ ! -d "$dir" ]; then
        echo foreign
    elif owned_marked "$dir" "$kind" || [ $done -eq 1 ]; then
        echo ours
    elif [ -r "$dir" ] && [ -x "$dir" ] && [ -z "$(find "$dir" -mindepth 1 -maxdepth 1 -print -quit)" ]; then
        echo empty
    elif owned_only_unmarked "$dir" "$kind"; then
        echo unmarked
    else
        echo foreign
    fi
}

# owned_refuse DIR WHAT: says why DIR is left alone (WHAT: what it was given as).
owned_refuse() {
    echo "$SCRIPT_NAME: refused: $1 ($2) exists and is not a folder scripts/$SCRIPT_NAME made for" \
         "this (it has something in it and no $OWNED_MARKER of ours), so nothing in it was" \
         "touched. Give another folder, or empty or remove that one yourself." >&2
}

# owned_check DIR KIND WHAT [DONE]: refuses (return 2) a folder that is neither ours,
# empty nor absent.
owned_check() {
    [ "$(owned_state "$1" "$2" "${4:-}")" != foreign ] && return 0
    owned_refuse "$1" "$3"
    return 2
}

# owned_claim DIR KIND WHAT: makes DIR (absent) or takes it (empty, or unmarked: its
# files listed as ours) and marks it ours; a folder of ours gets a fresh marker.
# Refuses (return 2) anything else.
owned_claim() {
    local listed=""
    case $(owned_state "$1" "$2") in
        absent) mkdir -p -- "$1" ;;
        empty|ours) ;;
        unmarked) listed=$(cd "$1" && ls -A) ;;
        *) owned_refuse "$1" "$3"; return 2 ;;
    esac
    echo "# stripewell $2: made by scripts/$SCRIPT_NAME, which may delete it again" >"$1/$OWNED_MARKER"
    [ -z "$listed" ] || echo "$listed" >>"$1/$OWNED_MARKER"
}

# mounts_under DIR: the mount points at or below DIR (mountinfo escapes space, tab,
# newline and backslash as octal).
mounts_under() {
    awk -v dir="$1" '{
            p = $5
            gsub(/\\040/, " ", p); gsub(/\\011/, "\t", p); gsub(/\\012/, "\n", p); gsub(/\\134/, "\\", p)
            if (p == dir || index(p, dir "/") == 1) print p
        }' /proc/self/mountinfo
}

# owned_remove DIR KIND WHAT [DONE]: deletes a folder of ours; refuses (return 2) one
# that is not ours or still has a file system mounted inside it.
owned_remove() {
    local dir=$1 mounted
    case $(owned_state "$dir" "$2" "${4:-}") in
        absent) return 0 ;;
        ours) ;;
        *) owned_refuse "$dir" "$3"; return 2 ;;
    esac
    mounted=$(mounts_under "$dir")
    if [ -n "$mounted" ]; then
        echo "$SCRIPT_NAME: refused to delete $dir ($3): file systems are still mounted in it:" \
             $mounted >&2
        return 2
    fi
    rm -rf --one-file-system -- "$dir"
}

# A folder of ours that takes the files of each run, among files that may be a person's:
# its marker lists, below its first line, the files our runs reported having written, and
# each run deletes those (so that a failed run shows none that look like its own) and
# nothing else. A run of ours that writes there holds the folder (lock.sh), so that no
# other run lists or deletes its files meanwhile.
# owned_clear DIR KIND WHAT: deletes the files listed (files, never a folder or a link),
# then makes or takes DIR as owned_claim does, refusing the same.
owned_clear() {
    local dir=$1 name
    [ "$(owned_state "$dir" "$2")" != unmarked ] || owned_claim "$dir" "$2" "$3" || return 2
    if [ "$(owned_state "$dir" "$2")" = ours ]; then
        # The list is read back as it was written, a name a line; a marker is capped.
        while IFS= read -r name; do
            if owned_name "$name" && [ -f "$dir/$name" ] && [ ! -L "$dir/$name" ]; then
                rm -f -- "$dir/$name"
            fi
        done < <(head -c 65536 -- "$dir/$OWNED_MARKER" | tail -n +2)
    fi
    owned_claim "$dir" "$2" "$3" || return 2
}

# owned_record DIR: adds to DIR's marker the names on standard input, one a line, that
# the run reported having written into DIR (saved_names). A name that is not a plain file
# name is left out, so that it cannot be read back as another.
owned_record() {
    local name
    [ -f "$1/$OWNED_MARKER" ] && [ ! -L "$1/$OWNED_MARKER" ] || return 0
    while IFS= read -r name; do
        ! owned_name "$name" || printf '%s\n' "$name"
    done >>"$1/$OWNED_MARKER"
}

# saved_names LOG: the names a program of ours says it wrote, in its lines
# "saved NAME (W x H)" (the demo and the screenshot test; under Wine, lines end in CR LF).
saved_names() {
    sed -n 's/^saved \([A-Za-z0-9._-]\{1,100\}\) ([0-9]\{1,5\} x [0-9]\{1,5\})\r\{0,1\}$/\1/p' -- "$1" 2>/dev/null
}
