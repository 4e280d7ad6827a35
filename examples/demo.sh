#!/bin/sh
# Runs each program on the examples beside this script and shows what it
# printed. Everything it writes goes below BUILD/examples/demo.
# Usage: demo.sh EXAMPLES_DIR BUILD_DIR
set -eu
examples=$1
build=$2
demo=$build/examples/demo
mkdir -p "$demo"

heading() {
    printf '\n==== %s ====\n' "$1"
}

heading "chronsort, answering dates.txt and sorted.txt"
cp "$examples/dates.txt" "$demo/dates.txt"
printf 'dates.txt\nsorted.txt\n' | (cd "$demo" && "$build/chronsort/chronsort")
echo "-- dates.txt:"
cat "$demo/dates.txt"
echo "-- sorted.txt:"
cat "$demo/sorted.txt"
echo

heading "rotatree, answering $(echo $(cat "$examples/rotatree.txt"))"
"$build/rotatree/rotatree" <"$examples/rotatree.txt"

heading "rotadraw, the same run drawn (and in rotatree.html)"
"$build/rotadraw/rotadraw" --summary --html "$demo/rotatree.html" \
    <"$examples/rotatree.txt"
page=$(cd "$demo" && pwd)/rotatree.html
echo "-- the page: file://$page"
echo "   open it in a browser, as: xdg-open file://$page"

heading "p2spawn 5 3 9 1"
"$build/examples/p2spawn" 5 3 9 1

heading "p3spawn 5 3 9 1"
"$build/examples/p3spawn" 5 3 9 1

heading "spawndraw p3spawn 5 3 9 1"
# The drawing goes to stderr, after the launcher's own output; a machine
# that refuses ptrace says so, and the demo ends there all the same.
"$build/spawndraw/spawndraw" "$build/examples/p3spawn" 5 3 9 1 2>&1 || true
