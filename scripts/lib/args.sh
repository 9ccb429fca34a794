# The command lines of our scripts. Source it; the caller sets SCRIPT_NAME. A script's usage
# is the comment block at its top.

# script_usage: prints that block.
script_usage() { awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; }

# usage_error MESSAGE: says what is wrong, then the usage, and exits 2.
usage_error() {
    { echo "$SCRIPT_NAME: $*"; echo "usage:"; script_usage; } >&2
    exit 2
}

# need_value "$@", at an option that takes a value (--out DIR): a usage error unless a
# value follows that is not itself an option: `--out --demo` names no folder.
need_value() {
    if [ $# -lt 2 ] || [ -z "$2" ]; then
        usage_error "$1 needs a value"
    elif [[ $2 == -* ]]; then
        usage_error "$1 needs a value, not the option-like '$2' (for a folder of that name, write ./$2)"
    fi
}
