#!/usr/bin/env bash
# Times rotadraw --last --html against rotatree on the same 2000 shuffled
# values, both with stdout to /dev/null, side by side in one run, and
# prints the best and the median of each and their ratio. Then the page's
# size, and how long Chromium takes to open it at its last step and draw
# it (the page notes when its first picture is drawn).
# Usage: bench/rotadraw.sh [BUILD_DIR] [RUNS]    (defaults: build 9)
set -euo pipefail
build=${1:-build}
runs=${2:-9}
draw=$build/rotadraw/rotadraw
tree=$build/rotatree/rotatree
[ -x "$draw" ] && [ -x "$tree" ] || { echo "bench: $build: not built" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
n=2000
# The same fixed shuffle as bench/rotatree.sh.
{ echo $n; seq 1 $n | awk 'BEGIN { srand(7) } { print rand(), $0 }' |
    sort -k1,1 | cut -d' ' -f2; echo 1; } >"$work/shuffled"

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
best() { sort -n | head -n 1; }

: >"$work/draw"
: >"$work/tree"
for _ in $(seq "$runs"); do
    t0=$(now)
    "$draw" --last --html "$work/page.html" <"$work/shuffled" >/dev/null
    t1=$(now)
    "$tree" <"$work/shuffled" >/dev/null
    t2=$(now)
    echo $((t1 - t0)) >>"$work/draw"
    echo $((t2 - t1)) >>"$work/tree"
done
awk -v db="$(best <"$work/draw")" -v dm="$(median <"$work/draw")" \
    -v tb="$(best <"$work/tree")" -v tm="$(median <"$work/tree")" 'BEGIN {
    printf "%-34s %9s %9s\n", "2000 shuffled values", "best", "median"
    printf "%-34s %6.1f ms %6.1f ms\n", "rotadraw --last --html page.html", db / 1e6, dm / 1e6
    printf "%-34s %6.1f ms %6.1f ms\n", "rotatree", tb / 1e6, tm / 1e6
    printf "%-34s %9.2f %9.2f\n", "ratio", db / tb, dm / tm }'
echo "page: $(stat -c %s "$work/page.html") bytes"

if command -v chromium >/dev/null; then
    : >"$work/open"
    for _ in 1 2 3; do
        timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run \
            --disable-background-networking --disable-component-update \
            --disable-sync --user-data-dir="$work/profile" \
            --dump-dom "file://$work/page.html#step=999999" 2>/dev/null |
            sed -n 's/.*data-drawn-ms="\([0-9]*\)".*/\1/p' >>"$work/open"
    done
    echo "opened at the last step and drawn in: $(median <"$work/open") ms (median of 3)"
fi
