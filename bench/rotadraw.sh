#!/usr/bin/env bash
# Times rotadraw --last --html (and with --summary) against rotatree on the
# same 2000 shuffled values, all with stdout to /dev/null, side by side in
# one run, and prints the best and the median of each and the ratio. Then
# the page's size, and in Chromium (bench/page_times.py) how long pages of
# 2,000, 20,000 and 100,000 values take to open at their last step, and how
# long the page's controls and a paste take at 20,000 values; and how many
# pages the page prints to (bench/print_pages.py).
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

if command -v chromium >/dev/null && /usr/bin/python3 -c 'import selenium' 2>/dev/null; then
    /usr/bin/python3 "$(dirname "$0")/page_times.py" "$draw" 3
    /usr/bin/python3 "$(dirname "$0")/print_pages.py" "$draw"
fi
