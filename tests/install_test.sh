#!/bin/sh
# Installs the build into a fresh prefix and checks that every program,
# object file and manual page is there, that each page renders on a UTF-8
# and an ASCII terminal without a warning (and passes mandoc's lint, where
# mandoc is at hand), and that an installed program runs. Then makes the
# build the README shows for the example sorting programs: launchers
# pointed at them, installed beside them, and run. Without groff the pages
# can't be rendered: the rest is checked, and the test is skipped (77).
# Usage: install_test.sh BUILD_DIR BINDIR LIBDIR MANDIR SOURCE_DIR
set -u
build=$1 bindir=$2 libdir=$3 mandir=$4 source=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail=0
bad() {
    echo "install: $*" >&2
    fail=1
}

cmake --install "$build" --prefix "$prefix" >/dev/null || bad "cmake --install failed"

# What a page says, rendered for a terminal, without bold or underlining.
rendered() {
    groff -mandoc -T"$2" -P-cbou "$1" 2>"$work/warnings"
    [ -s "$work/warnings" ] && bad "$1 on $2: $(cat "$work/warnings")"
}

for p in chronsort rotatree rotadraw spawndraw p2spawn p3spawn; do
    [ -x "$prefix/$bindir/$p" ] || bad "$bindir/$p: missing"
    page=$prefix/$mandir/man1/$p.1
    if [ ! -f "$page" ]; then
        bad "$mandir/man1/$p.1: missing"
    elif ! command -v groff >/dev/null; then
        unrendered=1
    else
        rendered "$page" ascii | head -n 1 | grep -q sorttools ||
            bad "$p.1: no sorttools in its header"
        rendered "$page" utf8 >"$work/$p.txt"
        if command -v mandoc >/dev/null; then
            lint=$(mandoc -T lint -W warning "$page" 2>&1 | grep -v 'mandoc.db')
            [ -z "$lint" ] || bad "$lint"
        fi
    fi
done
# Words that a macro's name could swallow, read as they are meant.
if [ -z "${unrendered:-}" ]; then
    grep -q '“In Insert!”' "$work/rotatree.txt" || bad "rotatree.1: no “In Insert!”"
    grep -q "stands in ‘\[ \]’" "$work/rotadraw.txt" || bad "rotadraw.1: no ‘[ ]’"
fi
for o in p2spawn.o p3spawn.o; do
    [ -f "$prefix/$libdir/$o" ] || bad "$libdir/$o: missing"
done

out=$(printf '0 0' | "$prefix/$bindir/rotatree")
[ "$out" = "Enter number of elements: Inserted!
Enter element to search: Element not found

Exit!" ] || bad "installed rotatree printed: $out"

# The launchers built to start the example sorting programs where these
# are installed, as the README shows.
sorters=$work/own/libexec/sorttools
if cmake -S "$source" -B "$work/build" -DBUILD_TESTING=OFF \
        -DSORT_PROGRAM_DIR="$sorters" >/dev/null &&
    cmake --build "$work/build" -j2 --target p2spawn p3spawn example_heap \
        example_merge example_bubble example_insertion >/dev/null &&
    cmake --install "$work/build" --prefix "$work/own" \
        --component launchers >/dev/null &&
    cmake --install "$work/build" --prefix "$work/own" \
        --component sorters >/dev/null; then
    grep -q "$sorters/h.o" "$work/own/share/man/man1/p3spawn.1" ||
        bad "the installed p3spawn.1 doesn't name $sorters/h.o"
    out=$("$work/own/bin/p3spawn" 5 3 9 1 | grep sort)
    [ "$out" = "Heap sort: 1 3 5 9
Merge sort: 1 3 5 9" ] || bad "installed p3spawn with the examples printed: $out"
    [ -x "$sorters/b.o" ] && [ -x "$sorters/i.o" ] ||
        bad "the example sorting programs are not all installed"
else
    bad "the build with the example sorting programs failed"
fi

# A directory that the build would carry changed is refused, by name.
for odd in ';' '#' '\'; do
    said=$(cmake -S "$source" -B "$work/odd" -DBUILD_TESTING=OFF \
        -DSORT_PROGRAM_DIR="/opt/a${odd}b" 2>&1) &&
        bad "SORT_PROGRAM_DIR with $odd was not refused"
    case $said in
    *"the character '$odd' can't be in the path"*) ;;
    *) bad "SORT_PROGRAM_DIR with $odd: $said" ;;
    esac
    rm -rf "$work/odd"
done

[ $fail -eq 0 ] && echo "install: all files in place"
if [ $fail -eq 0 ] && [ -n "${unrendered:-}" ]; then
    echo "install: no groff: the manual pages were not rendered"
    exit 77
fi
exit $fail
