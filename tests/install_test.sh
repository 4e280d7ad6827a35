#!/bin/sh
# Installs the build into a fresh prefix and checks that every program,
# object file and manual page is there, that each page renders without a
# warning, and that an installed program runs. Without groff the pages
# can't be rendered: the rest is checked, and the test is skipped (77).
# Usage: install_test.sh BUILD_DIR BINDIR LIBDIR MANDIR
set -u
build=$1 bindir=$2 libdir=$3 mandir=$4
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail=0
bad() {
    echo "install: $*" >&2
    fail=1
}

cmake --install "$build" --prefix "$prefix" >/dev/null || bad "cmake --install failed"

for p in chronsort rotatree rotadraw p2spawn p3spawn; do
    [ -x "$prefix/$bindir/$p" ] || bad "$bindir/$p: missing"
    page=$prefix/$mandir/man1/$p.1
    if [ -f "$page" ] && ! command -v groff >/dev/null; then
        unrendered=1
    elif [ -f "$page" ]; then
        # groff exits 0 even when it warns: its output is the verdict.
        warnings=$(groff -mandoc -ww -z "$page" 2>&1)
        [ -z "$warnings" ] || bad "$mandir/man1/$p.1: $warnings"
    else
        bad "$mandir/man1/$p.1: missing"
    fi
done
for o in p2spawn.o p3spawn.o; do
    [ -f "$prefix/$libdir/$o" ] || bad "$libdir/$o: missing"
done

out=$(printf '0 0' | "$prefix/$bindir/rotatree")
[ "$out" = "Enter number of elements: Inserted!
Enter element to search: Element not found

Exit!" ] || bad "installed rotatree printed: $out"

[ $fail -eq 0 ] && echo "install: all files in place"
if [ $fail -eq 0 ] && [ -n "${unrendered:-}" ]; then
    echo "install: no groff: the manual pages were not rendered"
    exit 77
fi
exit $fail
