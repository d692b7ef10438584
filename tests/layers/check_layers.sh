#!/usr/bin/env bash
# Fails when a file under src/ or server/ includes a folder that stands above its own.
# Usage: check_layers.sh ROOT   (ROOT holds src/ and server/)
set -euo pipefail
export LC_ALL=C
root=${1:?usage: check_layers.sh ROOT}

# The floors of src/, lowest first; folders on one line stand side by side and neither uses the other.
# A file includes its own folder and the floors below it. app/ is the program: main.cpp, the start-up,
# and the launcher (app/forms/launcher_form), which opens every window by its registered name and
# drives the store and the log-on, so it stands above every window.
floors=(
    "platform"
    "frame"
    "store"
    "member"
    "online print"
    "mainwin"
    "community"
    "app"
)

# The page service stands beside the program on the platform alone; the board's protocol scrambles its
# texts with the frame's scrambler and built-in seed, which it may therefore include.
server_floor="platform"
allowed=(
    "server/pages/board_pages.cpp frame/text_scramble.h"
    "server/pages/board_pages.cpp frame/builtin_seeds.h"
)

declare -A rank
for i in "${!floors[@]}"; do
    for folder in ${floors[$i]}; do rank[$folder]=$i; done
done

failures=0
refuse() {
    echo "$1: $2"
    failures=$((failures + 1))
}

is_allowed() {
    local pair
    for pair in "${allowed[@]}"; do [ "$pair" = "$1 $2" ] && return 0; done
    return 1
}

# Every folder of src/ has its place: a new one is put into the order before anything may include it.
for dir in "$root"/src/*/; do
    [ -d "$dir" ] || continue
    folder=$(basename "$dir")
    [ -n "${rank[$folder]:-}" ] || refuse "src/$folder" "folder not in the order of floors"
done

# file, line number, included path: every include in quotes, and every one in brackets that names a
# folder. A quoted path is marked with a leading '"', so that one without a folder can be told apart.
includes() {
    (cd "$root" && find "$1" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
        xargs -0 -r grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*("|<[^>]*/)' || true) |
        sed -E 's/^([^:]+):([0-9]+):[^<"]*("?)<?([^">]+)[">].*/\1 \2 \3\4/'
}

# A quoted include names its folder from src/ (or the service's own), never a path beside or above the
# file: such a path would pass by the order unseen.
unnamed() {
    case $1 in
        \"*/*) [[ $1 == \"../* || $1 == */../* ]] ;;
        \"*) true ;;
        *) false ;;
    esac
}

while read -r file line path; do
    if unnamed "$path"; then
        refuse "$file:$line" "an include names its folder: ${path#\"}"
        continue
    fi
    path=${path#\"}
    own=${file#*/}
    own=${own%%/*}
    target=${path%%/*}
    [ -n "${rank[$own]:-}" ] || continue     # a folder out of the order, said above
    [ -n "${rank[$target]:-}" ] || continue  # a library's header, not ours
    if [ "$target" = "$own" ]; then continue; fi
    if [ "${rank[$target]}" -lt "${rank[$own]}" ]; then continue; fi
    if [ "${rank[$target]}" -eq "${rank[$own]}" ]; then
        refuse "$file:$line" "$own/ and $target/ stand side by side: \"$path\""
    else
        refuse "$file:$line" "$own/ includes \"$path\" from a floor above it"
    fi
done < <([ -d "$root/src" ] && includes src)

while read -r file line path; do
    if unnamed "$path"; then
        refuse "$file:$line" "an include names its folder: ${path#\"}"
        continue
    fi
    path=${path#\"}
    target=${path%%/*}
    [ -n "${rank[$target]:-}" ] || continue  # the service's own folders and the libraries'
    [ "$target" = "$server_floor" ] && continue
    is_allowed "$file" "$path" && continue
    refuse "$file:$line" "server/ stands on $server_floor/ alone: \"$path\""
done < <([ -d "$root/server" ] && includes server)

if ((failures)); then
    echo "$failures include(s) against the order: ${floors[*]}" >&2
    exit 1
fi
