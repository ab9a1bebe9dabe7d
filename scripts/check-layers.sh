#!/usr/bin/env bash
# Checks the layering of src/: folders include each other in one direction only, the engine's
# folders never include a widget header, front ends hand work to the engine through its calls
# (no queue field strings, no raw host command lines), and the window has no friend classes.
# Prints every breach and exits 1 when there is one. Usage: check-layers.sh [SOURCE_ROOT]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
src="$root/src"
engine="util net ftp tasks sites settings platform"
front="ui widgets cli app"
failed=0
breach() {
    echo "check-layers: $*"
    failed=1
}

# 1. Folder dependencies: one edge per (includer, included) pair; tsort reports any loop.
edges=$(for dir in "$src"/*/; do
    from=$(basename "$dir")
    grep -rhoE '^#include "[a-z]+/' "$dir" 2>/dev/null | sed -E 's/#include "([a-z]+)\//\1/' |
        sort -u | while read -r to; do
        [ "$to" != "$from" ] && echo "$from $to"
    done
done)
if ! loops=$(echo "$edges" | tsort 2>&1 >/dev/null) || [ -n "$loops" ]; then
    breach "include cycle between folders of src/:"
    echo "$loops" | sed 's/^/    /'
fi

# 2. Engine folders: no widget header, no include of a front-end folder.
widgets=$(ls /usr/include/*/qt6/QtWidgets /usr/include/qt6/QtWidgets 2>/dev/null | grep -E '^Q[A-Za-z]+$' | sort -u)
for dir in $engine; do
    [ -d "$src/$dir" ] || continue
    hits=$(grep -rnE '^#include [<"](QtWidgets/)?Q[A-Za-z]+[>"]' "$src/$dir" | while IFS= read -r line; do
        header=$(echo "$line" | sed -E 's/.*#include [<"](QtWidgets\/)?(Q[A-Za-z]+)[>"].*/\2/')
        if echo "$line" | grep -q 'QtWidgets' || echo "$widgets" | grep -qx "$header"; then
            echo "$line"
        fi
    done)
    [ -n "$hits" ] && breach "widget header in the engine folder $dir:" && echo "$hits" | sed 's/^/    /'
    hits=$(grep -rnE '^#include "(ui|widgets|cli|app)/' "$src/$dir")
    [ -n "$hits" ] && breach "front-end header in the engine folder $dir:" && echo "$hits" | sed 's/^/    /'
done

# 3. Front ends: no queue field strings or raw host command lines in string literals.
for dir in $front; do
    [ -d "$src/$dir" ] || continue
    hits=$(grep -rnE '"(d\*|u\*|c\*|b\*|\*rename|\*download|\*upload|\*list|\*reload|\*bufferfolder|dele |mkd |rmd |cwd )' "$src/$dir")
    [ -n "$hits" ] && breach "field string or host command built in $dir:" && echo "$hits" | sed 's/^/    /'
done

# 4. The window's classes reach each other through interfaces, not as friends.
hits=$(grep -rnE '\bfriend\s+class\b' "$src/ui" 2>/dev/null)
[ -n "$hits" ] && breach "friend class in ui:" && echo "$hits" | sed 's/^/    /'

[ $failed -eq 0 ] && echo "check-layers: no breach"
exit $failed
