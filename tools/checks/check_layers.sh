#!/usr/bin/env bash
# Fails when a source file includes a folder above its own in the layer order, so
# that dependencies only point down: base is the ground, gui the top.
set -u
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
layers=(base core boxes link ftp export cloud import status app gui)

rank() {
    local i
    for i in "${!layers[@]}"; do
        [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}

status=0
while IFS= read -r file; do
    rel=${file#"$root/src/"}
    own=${rel%%/*}
    [ "$own" = "$rel" ] && continue          # src/main.cpp stands above every layer
    own_rank=$(rank "$own")
    if [ "$own_rank" -lt 0 ]; then
        echo "$rel: folder '$own' is not in the layer order (${layers[*]})"
        status=1
        continue
    fi
    while IFS= read -r line; do
        target=$(sed -E 's/^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$line")
        t_rank=$(rank "$target")
        [ "$t_rank" -lt 0 ] && continue      # not one of ours
        if [ "$t_rank" -gt "$own_rank" ]; then
            echo "$rel:${line%%:*}: $own includes $target, a layer above it"
            status=1
        fi
    done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$file")
    if [ "$own" != gui ] && grep -q -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file"; then
        echo "$rel: includes Qt outside gui"
        status=1
    fi
done < <(find "$root/src" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

[ "$status" = 0 ] && echo "layers: every include points down"
exit "$status"
