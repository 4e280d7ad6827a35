#!/bin/sh
# pagejoin refuses what would not be the page's modules: a cycle of imports,
# a name that two modules export, and a file that nothing imports; and
# joins the rest with each module's own names kept to itself.
# Usage: pagejoin_test.sh PAGEJOIN
set -u
join=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
# case NAME WANT: joins $work/NAME/main.js, whose message must hold WANT.
case_() {
    said=$("$join" "$work/$1/main.js" "$work/$1.js" "$work/$1.d" "$work/$1" 2>&1)
    case $said in
    *"$2"*) ;;
    *) echo "pagejoin_test: $1: said '$said', not '$2'" >&2; fail=1 ;;
    esac
}
module() { mkdir -p "$work/${1%/*}"; printf '%s\n' "$2" >"$work/$1"; }

module cycle/main.js 'import {a} from "./a.js";'
module cycle/a.js 'import {b} from "./b.js";
export const a = 1;'
module cycle/b.js 'import {a} from "./a.js";
export const b = 2;'
case_ cycle "a cycle of imports: a.js imports b.js imports a.js"

module twice/main.js 'import {a} from "./a.js";
import {b} from "./b.js";'
module twice/a.js 'export function f() {}
export const a = 1;'
module twice/b.js 'export function f() {}
export const b = 1;'
case_ twice "f is exported by both a.js and b.js"

module unused/main.js 'import {a} from "./a.js";'
module unused/a.js 'export const a = 1;'
module unused/lost.js 'export const c = 1;'
case_ unused "lost.js: nothing imports it"

module whole/main.js 'import {a as one} from "./a.js";
const hidden = "main";
console.log(one, hidden);'
module whole/a.js 'const hidden = "a";
export const a = hidden;'
case_ whole ""
out=$(node --input-type=module <"$work/whole.js" 2>&1)
[ "$out" = "a main" ] || { echo "pagejoin_test: the joined script printed '$out'" >&2; fail=1; }
[ $fail -eq 0 ] && echo "pagejoin: all cases as they should be"
exit $fail
