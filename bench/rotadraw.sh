#!/usr/bin/env bash
# Times rotadraw --last --html (and with --summary) against rotatree on the
# same 2000 shuffled values, all with stdout to /dev/null, side by side in
# one run, and prints the best and the median of each and the ratio. Then
# the page's size, and how long Chromium takes to open it at its last step
# and draw it, chart and all (the page notes both times).
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
: >"$work/summary"
: >"$work/tree"
for _ in $(seq "$runs"); do
    t0=$(now)
    "$draw" --last --html "$work/page.html" <"$work/shuffled" >/dev/null
    t1=$(now)
    "$tree" <"$work/shuffled" >/dev/null
    t2=$(now)
    "$draw" --last --summary --html "$work/page.html" <"$work/shuffled" >/dev/null
    t3=$(now)
    echo $((t1 - t0)) >>"$work/draw"
    echo $((t2 - t1)) >>"$work/tree"
    echo $((t3 - t2)) >>"$work/summary"
done
row() { printf '%-42s %6.1f ms %6.1f ms\n' "$1" "$(best <"$2" | awk '{ print $1 / 1e6 }')" \
    "$(median <"$2" | awk '{ print $1 / 1e6 }')"; }
printf '%-42s %9s %9s\n' "2000 shuffled values" best median
row "rotadraw --last --html page.html" "$work/draw"
row "rotadraw --last --summary --html page.html" "$work/summary"
row "rotatree" "$work/tree"
awk -v db="$(best <"$work/draw")" -v dm="$(median <"$work/draw")" \
    -v tb="$(best <"$work/tree")" -v tm="$(median <"$work/tree")" 'BEGIN {
    printf "%-42s %9.2f %9.2f\n", "ratio rotadraw / rotatree", db / tb, dm / tm }'
echo "page: $(stat -c %s "$work/page.html") bytes"

if command -v chromium >/dev/null; then
    : >"$work/open"
    : >"$work/chart"
    for _ in 1 2 3; do
        timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run \
            --disable-background-networking --disable-component-update \
            --disable-sync --user-data-dir="$work/profile" \
            --dump-dom "file://$work/page.html#step=999999" 2>/dev/null |
            grep -o 'data-[a-z]*-ms="[0-9]*"' >"$work/dom"
        sed -n 's/data-drawn-ms="\(.*\)"/\1/p' "$work/dom" >>"$work/open"
        sed -n 's/data-chart-ms="\(.*\)"/\1/p' "$work/dom" >>"$work/chart"
    done
    echo "opened at the last step and drawn in: $(median <"$work/open") ms (median of 3)"
    echo "of which the chart: $(median <"$work/chart") ms"
fi
