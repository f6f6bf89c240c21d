#!/usr/bin/env bash
# The engine's folders depend one way, from the ground up:
#
#   platform < base < values < lexer < parser < catalog < analysis < planner < exec < interface
#
# A file may include headers of its own folder and of the folders below it,
# never of a folder above.  Prints every include that goes the wrong way and
# exits 1 when there is one.  Usage: check_include_order.sh [repository root]
set -euo pipefail
root=${1:-$(dirname "$0")/..}
order=(platform base values lexer parser catalog analysis planner exec interface)

rank() {
    local i
    for i in "${!order[@]}"; do
        if [ "${order[$i]}" = "$1" ]; then echo "$i"; return; fi
    done
    echo -1
}

bad=0
checked=0
for dir in "${order[@]}"; do
    [ -d "$root/$dir" ] || continue
    own=$(rank "$dir")
    for file in "$root/$dir"/*.h "$root/$dir"/*.cpp "$root/$dir"/*.inc; do
        [ -e "$file" ] || continue
        checked=$((checked + 1))
        while IFS= read -r line; do
            target=${line#*\"}
            target=${target%%/*}
            r=$(rank "$target")
            if [ "$r" -gt "$own" ]; then
                echo "${file#"$root"/}: includes ${line#*#include } (${target}/ is above ${dir}/)"
                bad=1
            fi
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z]+/' "$file" || true)
    done
done
if [ "$bad" -ne 0 ]; then
    echo "include order: FAILED"
    exit 1
fi
echo "include order: ${checked} files, every include goes down"
