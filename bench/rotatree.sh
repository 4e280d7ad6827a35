#!/usr/bin/env bash
# Times rotatree on 2000 values in ascending, descending and shuffled order,
# with stdout to /dev/null, against cat copying as many bytes from a file to
# /dev/null in the same run, and prints each case's median and the ratio.
# Given another rotatree (an earlier build, say), it times that one too,
# in turn with the first, and prints its median and its ratio to the first.
# Usage: bench/rotatree.sh [BUILD_DIR] [RUNS] [OTHER_ROTATREE]
#        (defaults: build 9)
set -euo pipefail
build=${1:-build}
runs=${2:-9}
other=${3:-}
bin=$build/rotatree/rotatree
[ -x "$bin" ] || { echo "bench: $bin: not built" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
n=2000
{ echo $n; seq 1 $n; echo 1; } >"$work/ascending"
{ echo $n; seq $n -1 1; echo 1; } >"$work/descending"
# A fixed shuffle, so that every run and every machine times the same tree.
{ echo $n; seq 1 $n | awk 'BEGIN { srand(7) } { print rand(), $0 }' |
    sort -k1,1 | cut -d' ' -f2; echo 1; } >"$work/shuffled"

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-10s %10s %12s %10s %6s' order bytes rotatree cat ratio
[ -n "$other" ] && printf ' %12s %6s' other other/rotatree
echo
for order in ascending descending shuffled; do
    "$bin" <"$work/$order" >"$work/copy"
    bytes=$(stat -c %s "$work/copy")
    : >"$work/rot"
    : >"$work/cat"
    : >"$work/other"
    for _ in $(seq "$runs"); do
        t0=$(now)
        "$bin" <"$work/$order" >/dev/null
        t1=$(now)
        cat "$work/copy" >/dev/null
        t2=$(now)
        echo $((t1 - t0)) >>"$work/rot"
        echo $((t2 - t1)) >>"$work/cat"
        if [ -n "$other" ]; then
            t0=$(now)
            "$other" <"$work/$order" >/dev/null
            echo $(($(now) - t0)) >>"$work/other"
        fi
    done
    rot=$(median <"$work/rot")
    cat=$(median <"$work/cat")
    awk -v o="$order" -v b="$bytes" -v r="$rot" -v c="$cat" 'BEGIN {
        printf "%-10s %10d %9.1f ms %7.1f ms %6.1f", o, b, r / 1e6, c / 1e6, r / c }'
    if [ -n "$other" ]; then
        awk -v r="$rot" -v x="$(median <"$work/other")" 'BEGIN {
            printf " %9.1f ms %6.3f", x / 1e6, x / r }'
    fi
    echo
done
