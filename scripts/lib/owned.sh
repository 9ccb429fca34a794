# Folders our scripts make and may delete again. Source it; the caller sets SAY_AS (the
# command's name, for messages).
#
# A folder is ours when it holds OWNED_MARKER, which we write into it right after we
# created it (or found it empty, so that there is nothing in it to lose), before anything
# else goes in. The marker's first line names what we made the folder as (KIND: a Wine
# prefix, the demo's output, a Debian root), so that a folder made as one is never taken
# for another: a wrong --prefix must not delete a folder of screenshots wholesale. Our
# scripts delete a folder only when it is ours of that kind, has no file system mounted
# inside it, and then without crossing into another file system; a folder that exists
# with something in it and is not ours is refused with exit 2 and left as it is. Folders
# made before the marker existed are recognised by the completion marker they were given
# then (LEGACY): those were only ever written into folders we had just made.
OWNED_MARKER=.stripewell-made

# owned_state DIR KIND [LEGACY]: prints absent, empty, ours or foreign (a file, or a
# folder with something in it and no marker of ours of that kind). LEGACY: the names,
# space-separated, of the completion markers such folders had before.
owned_state() {
    local dir=$1 kind=$2 legacy=${3:-} name old=0
    for name in $legacy; do [ -f "$dir/$name" ] && old=1; done
    if [ ! -e "$dir" ] && [ ! -L "$dir" ]; then
        echo absent
    elif [ -L "$dir" ] || [ ! -d "$dir" ]; then
        echo foreign
    elif { [ -f "$dir/$OWNED_MARKER" ] && head -n1 "$dir/$OWNED_MARKER" | grep -q "^# stripewell $kind:"; } ||
         [ $old -eq 1 ]; then
        echo ours
    elif [ -r "$dir" ] && [ -x "$dir" ] && [ -z "$(find "$dir" -mindepth 1 -maxdepth 1 -print -quit)" ]; then
        echo empty
    else
        echo foreign
    fi
}

# owned_refuse DIR WHAT: says why DIR is left alone (WHAT: what it was given as).
owned_refuse() {
    echo "$SAY_AS: refused: $1 ($2) exists and is not a folder scripts/$SAY_AS made for" \
         "this (it has something in it and no $OWNED_MARKER of ours), so nothing in it was" \
         "touched. Give another folder, or empty or remove that one yourself." >&2
}

# owned_check DIR KIND WHAT [LEGACY]: refuses (return 2) a folder that is neither ours,
# empty nor absent.
owned_check() {
    [ "$(owned_state "$1" "$2" "${4:-}")" != foreign ] && return 0
    owned_refuse "$1" "$3"
    return 2
}

# owned_claim DIR KIND WHAT: makes DIR (absent) or takes it (empty) and marks it ours; a
# folder of ours gets a fresh marker. Refuses (return 2) anything else.
owned_claim() {
    case $(owned_state "$1" "$2") in
        absent) mkdir -p "$1" ;;
        empty|ours) ;;
        *) owned_refuse "$1" "$3"; return 2 ;;
    esac
    echo "# stripewell $2: made by scripts/$SAY_AS, which may delete it again" >"$1/$OWNED_MARKER"
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

# owned_remove DIR KIND WHAT [LEGACY]: deletes a folder of ours; refuses (return 2) one
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
        echo "$SAY_AS: refused to delete $dir ($3): file systems are still mounted in it:" \
             $mounted >&2
        return 2
    fi
    rm -rf --one-file-system -- "$dir"
}

# A folder of ours that takes the files of each run, among files that may be a person's:
# its marker lists the files our runs wrote, and each run deletes those (so that a failed
# run shows none that look like its own) and nothing else.
# owned_clear DIR KIND WHAT BEFORE: deletes the files listed, makes or takes DIR as in
# owned_claim (refusing the same), and keeps the names it holds now in the file BEFORE.
owned_clear() {
    local dir=$1 name
    if [ "$(owned_state "$dir" "$2")" = ours ]; then
        while IFS= read -r name; do
            case $name in ''|'#'*|*/*|.|..|"$OWNED_MARKER") ;; *) rm -f -- "$dir/$name" ;; esac
        done <"$dir/$OWNED_MARKER"
    fi
    owned_claim "$dir" "$2" "$3" || return 2
    ls -A "$dir" | sort >"$4"
}

# owned_record DIR BEFORE: lists what appeared in DIR since owned_clear in its marker.
owned_record() {
    [ -f "$2" ] && [ -f "$1/$OWNED_MARKER" ] || return 0
    ls -A "$1" | sort | comm -13 "$2" - >>"$1/$OWNED_MARKER"
}
