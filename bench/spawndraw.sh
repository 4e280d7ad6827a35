#!/usr/bin/env bash
# Times two commands untraced and under spawndraw, alternating, side by side
# in one run, and prints the median of each, the ratio and the difference:
# a loop of 1000 /bin/true (the goal: at most 1.25 times untraced), a
# shell writing 10,000 lines a write each (the goal: at most 0.5 s more),
# and pipes: seq 2000000 | wc -l (at most 3 times untraced) and 200 MB
# through one, each ahead of strace following the same calls; and make -j2
# of 8 small C files (at most 1.5 times untraced).
# strace -f --seccomp-bpf, tracing the same calls, is timed beside them
# where it is installed, as what this machine's ptrace stops cost anyway.
# The command's stdout and spawndraw's drawing go to /dev/null.
# With a second build, its spawndraw is timed in the same alternation, so
# that a change is measured against what it changed.
# With NAME, only the benchmarks whose name holds it are timed.
# Usage: bench/spawndraw.sh [BUILD_DIR] [RUNS] [OTHER_BUILD] [NAME]
#        (defaults: build 9)
set -euo pipefail
build=${1:-build}
runs=${2:-9}
other=${3:+$3/spawndraw/spawndraw}
only=${4:-}
draw=$build/spawndraw/spawndraw
[ -x "$draw" ] || { echo "bench: $build: not built" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$draw" true 2>"$work/err" || { cat "$work/err" >&2; exit 1; }

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
strace=$(command -v strace || true)

bench() { # NAME SCRIPT
    case "$1" in *"$only"*) ;; *) return 0 ;; esac
    : >"$work/plain"; : >"$work/traced"; : >"$work/strace"; : >"$work/other"
    for _ in $(seq "$runs"); do
        t0=$(now); sh -c "$2" >/dev/null; t1=$(now)
        "$draw" --events /dev/null sh -c "$2" >/dev/null 2>&1; t2=$(now)
        echo $((t1 - t0)) >>"$work/plain"
        echo $((t2 - t1)) >>"$work/traced"
        if [ -n "$other" ]; then
            t3=$(now)
            "$other" --events /dev/null sh -c "$2" >/dev/null 2>&1
            echo $(($(now) - t3)) >>"$work/other"
        fi
        if [ -n "$strace" ]; then
            t3=$(now)
            "$strace" -f --seccomp-bpf -e "trace=$calls" \
                -o /dev/null sh -c "$2" >/dev/null
            echo $(($(now) - t3)) >>"$work/strace"
        fi
    done
    p=$(median <"$work/plain") t=$(median <"$work/traced")
    awk -v n="$1" -v p="$p" -v t="$t" 'BEGIN {
        printf "%-28s untraced %7.1f ms  spawndraw %7.1f ms  ratio %.2f  more %6.1f ms\n",
            n, p / 1e6, t / 1e6, t / p, (t - p) / 1e6 }'
    if [ -n "$other" ]; then
        awk -v p="$p" -v o="$(median <"$work/other")" 'BEGIN {
            printf "%-28s %s %7.1f ms  ratio %.2f\n", "", "the other build", o / 1e6, o / p }'
    fi
    if [ -n "$strace" ]; then
        awk -v n="$1" -v p="$p" -v s="$(median <"$work/strace")" 'BEGIN {
            printf "%-28s strace -f --seccomp-bpf %7.1f ms  ratio %.2f\n", "", s / 1e6, s / p }'
    fi
}

echo "medians of $runs runs each, alternating"
calls=execve,execveat,wait4,waitid,write,writev
bench "1000 /bin/true" 'for i in $(seq 1000); do /bin/true; done'
bench "10,000 lines, a write each" 'for i in $(seq 10000); do echo line $i; done'
# What goes through pipes is followed: strace follows the same calls.
calls=pipe,pipe2,dup2,dup3,read,write,close,%process
bench "seq 2000000 | wc -l" 'seq 2000000 | wc -l'
bench "200 MB through a pipe" 'head -c 200000000 /dev/zero | wc -c'
# A parallel build of a small C program: 8 files and a main, made anew.
mkdir "$work/mk"
for i in 1 2 3 4 5 6 7 8; do
    printf '#include <stdio.h>\nint f%d(void) { return printf("%%d\\n", %d); }\n' \
        "$i" "$i" >"$work/mk/f$i.c"
done
printf 'int main(void) { return 0; }\n' >"$work/mk/main.c"
printf 'OBJS = main.o f1.o f2.o f3.o f4.o f5.o f6.o f7.o f8.o\nprog: $(OBJS)\n\tcc -o $@ $(OBJS)\n%%.o: %%.c\n\tcc -O2 -c $<\n' \
    >"$work/mk/Makefile"
bench "make -j2, 8 files" "make -s -B -j2 -C $work/mk"

if [ -z "$only" ] && command -v chromium >/dev/null &&
    /usr/bin/python3 -c 'import selenium' 2>/dev/null; then
    /usr/bin/python3 "$(dirname "$0")/spawndraw_page.py" "$draw" 3
fi
