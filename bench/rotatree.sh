#!/usr/bin/env bash
# Times rotatree on 2000 values in ascending, descending and shuffled order,
# with stdout to /dev/null, against cat copying as many bytes from a file to
# /dev/null in the same run, and prints each case's median and the ratio.
# Usage: bench/rotatree.sh [BUILD_DIR] [RUNS]    (defaults: build 9)
set -euo pipefail
build=${1:-build}
runs=${2:-9}
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

printf '%-10s %10s %12s %10s %6s\n' order bytes rotatree cat ratio
for order in ascending descending shuffled; do
    "$bin" <"$work/$order" >"$work/copy"
    bytes=$(stat -c %s "$work/copy")
    : >"$work/rot"
    : >"$work/cat"
    for _ in $(seq "$runs"); do
        t0=$(now)
        "$bin" <"$work/$order" >/dev/null
        t1=$(now)
        cat "$work/copy" >/dev/null
        t2=$(now)
        echo $((t1 - t0)) >>"$work/rot"
        echo $((t2 - t1)) >>"$work/cat"
    done
    rot=$(median <"$work/rot")
    cat=$(median <"$work/cat")
    awk -v o="$order" -v b="$bytes" -v r="$rot" -v c="$cat" 'BEGIN {
        printf "%-10s %10d %9.1f ms %7.1f ms %6.1f\n", o, b, r / 1e6, c / 1e6, r / c }'
done
