#!/usr/bin/env bash
# Times chronsort against a plain exchange sort in C (plainsort.c, built
# here with cc -O2) on the same dates, side by side in one run: 20000 dates
# in random order and 30000 already in order. Checks that both write the
# same bytes, and prints each case's medians and the ratio.
# Usage: bench/chronsort.sh [BUILD_DIR] [RUNS]    (defaults: build 5)
set -euo pipefail
build=${1:-build}
runs=${2:-5}
bin=$(cd "$build" && pwd)/chronsort/chronsort
[ -x "$bin" ] || { echo "bench: $bin: not built" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O2 -o "$work/plainsort" "$(dirname "$0")/plainsort.c"
# Fixed seeds, so that every run and every machine sorts the same dates.
awk 'BEGIN { srand(11); for (i = 0; i < 20000; i++)
    printf "%02d/%02d/%d\n", 1 + int(rand() * 28), 1 + int(rand() * 12),
        1900 + int(rand() * 200) }' >"$work/random"
awk 'BEGIN { for (y = 1950; y < 2050; y++) for (m = 1; m <= 12; m++)
    for (d = 1; d <= 25; d++) printf "%d/%d/%d ", d, m, y }' >"$work/sorted"

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-8s %6s %12s %12s %6s\n' input dates chronsort plainsort ratio
for input in random sorted; do
    : >"$work/ours"
    : >"$work/plain"
    for _ in $(seq "$runs"); do
        t0=$(now)
        printf '%s %s\n' "$input" out.chronsort |
            (cd "$work" && "$bin" >/dev/null)
        t1=$(now)
        "$work/plainsort" "$work/$input" "$work/out.plain"
        t2=$(now)
        echo $((t1 - t0)) >>"$work/ours"
        echo $((t2 - t1)) >>"$work/plain"
    done
    cmp -s "$work/out.chronsort" "$work/out.plain" ||
        { echo "bench: $input: the two outputs differ" >&2; exit 1; }
    dates=$(wc -w <"$work/out.plain")
    ours=$(median <"$work/ours")
    plain=$(median <"$work/plain")
    awk -v i="$input" -v n="$dates" -v o="$ours" -v p="$plain" 'BEGIN {
        printf "%-8s %6d %9.1f ms %9.1f ms %6.3f\n", i, n, o / 1e6, p / 1e6, o / p }'
done
