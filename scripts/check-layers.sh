#!/usr/bin/env bash
# Fails when a source file includes a header from a higher layer.
# Usage: scripts/check-layers.sh [ROOT]   (ROOT: the source tree, default the repository)
#
# Layers, lowest first; a file may include headers of its own folder and of lower layers only:
#   pella.h, log/  <-  data/  <-  net/, media/, imaging/  <-  services/  <-  api/
# net/, media/ and imaging/ stand side by side and do not include one another.
# Inside data/: registry/ <- model/ <- dictionary/ <- io/, jpeg/ <- codec/ <- dump/, convert/,
# json/ (again side by side).
# Inside net/: transport/ <- pdu/ <- acse/ <- dimse/.
# Inside services/: verification/, index/ (side by side) <- storage/, query/, print/ (side by side)
# <- archive/.
# cli/ and app/ (the front ends) include pella.h and their own folder only.
# tests/, bench/ and fuzz/ may include anything.
# Quoted includes and angle-bracket includes of the project's own headers are both checked.
set -uo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root" || exit 2

# The layer of a path, as "rank group family": files of one group may include each other; a lower
# rank may be included from a higher one, except across the side-by-side families net, media and
# imaging. Unchecked paths print nothing.
layer_of() {
    case "$1" in
        pella.h) echo "0 pella.h -" ;;
        log/*) echo "0 log -" ;;
        data/registry/*) echo "9 data/registry -" ;;
        data/model/*) echo "10 data/model -" ;;
        data/dictionary/*) echo "11 data/dictionary -" ;;
        data/io/*) echo "12 data/io -" ;;
        data/jpeg/*) echo "12 data/jpeg -" ;;
        data/codec/*) echo "13 data/codec -" ;;
        data/dump/*) echo "14 data/dump -" ;;
        data/convert/*) echo "14 data/convert -" ;;
        data/json/*) echo "14 data/json -" ;;
        data/*) echo "15 data -" ;;
        net/transport/*) echo "20 net/transport net" ;;
        net/pdu/*) echo "21 net/pdu net" ;;
        net/acse/*) echo "22 net/acse net" ;;
        net/dimse/*) echo "23 net/dimse net" ;;
        media/*) echo "20 media media" ;;
        imaging/*) echo "20 imaging imaging" ;;
        services/verification/*) echo "30 services/verification -" ;;
        services/index/*) echo "30 services/index -" ;;
        services/storage/*) echo "31 services/storage -" ;;
        services/query/*) echo "31 services/query -" ;;
        services/print/*) echo "31 services/print -" ;;
        services/archive/*) echo "32 services/archive -" ;;
        api/*) echo "40 api -" ;;
        cli/*) echo "front cli -" ;;
        app/*) echo "front app -" ;;
    esac
}

allowed() {  # from-layer, to-layer -> 0 when the include is allowed
    local from_rank from_group from_family to_rank to_group to_family
    read -r from_rank from_group from_family <<<"$1"
    read -r to_rank to_group to_family <<<"$2"
    [ "$from_group" = "$to_group" ] && return 0
    if [ "$from_rank" = front ]; then
        [ "$to_group" = pella.h ]
        return
    fi
    [ "$to_rank" = front ] && return 1
    # Side-by-side families (net, media, imaging) never include each other.
    [ "$from_family" != - ] && [ "$to_family" != - ] && [ "$from_family" != "$to_family" ] && return 1
    # Layers of equal rank (dump/convert/json; storage/query/print) never include each other.
    [ "$to_rank" -lt "$from_rank" ]
}

# The includes of a file as "LINE:PATH": every quoted one, and the angle-bracket ones that name a
# header of this tree (<services/x.h>; system headers such as <net/if.h> are not in the tree).
project_includes() {
    grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$1" |
        sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/'
    grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*<' "$1" |
        sed 's/^\([0-9]*\):[^<]*<\([^>]*\)>.*/\1:\2/' |
        while IFS=: read -r line target; do
            [ -f "$target" ] && echo "$line:$target"
        done
}

status=0
count=0
while IFS= read -r file; do
    from=$(layer_of "$file")
    [ -n "$from" ] || continue
    count=$((count + 1))
    while IFS=: read -r line target; do
        [ -n "$target" ] || continue
        case "$target" in */*) ;; *) target="$(dirname "$file")/$target" ;; esac
        to=$(layer_of "$target")
        if [ -z "$to" ]; then
            echo "$file:$line: includes \"$target\", which belongs to no layer" >&2
            status=1
        elif ! allowed "$from" "$to"; then
            read -r _ from_group _ <<<"$from"; read -r _ to_group _ <<<"$to"
            echo "$file:$line: $from_group must not include \"$target\" ($to_group)" >&2
            status=1
        fi
    done < <(project_includes "$file")
done < <(find pella.h log data net media imaging services api cli app \
              -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) 2>/dev/null | sort)

if [ "$status" -eq 0 ]; then
    echo "layers: $count files, no upward include"
fi
exit "$status"
