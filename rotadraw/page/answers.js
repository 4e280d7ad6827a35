// Answers as rotatree and rotadraw read them, and the answers that make a run.

import {isLookup, makesNode} from "./steps.js";

// A count, that many values and one to look up, each as "%ld" reads a
// number, and refused beyond 32 bits. The lookup may be left out. Returns
// the values read, the lookup or null, and why the answers fell short, as
// rotadraw says it, or null.
export function readAnswers(text) {
  let pos = 0;
  const space = (c) => c === 32 || (c >= 9 && c <= 13);
  const digit = (c) => c >= 48 && c <= 57;
  const read = (what) => {
    while (pos < text.length && space(text.charCodeAt(pos)))
      pos++;
    if (pos === text.length)
      return {why: `${what}: end of input`};
    const start = pos;
    if (text[pos] === "+" || text[pos] === "-")
      pos++;
    if (!digit(text.charCodeAt(pos))) {
      pos = start;
      return {why: `${what}: not a number`};
    }
    while (digit(text.charCodeAt(pos)))
      pos++;
    const v = Number(text.slice(start, pos));
    if (v < -2147483648 || v > 2147483647)
      return {why: `${what}: out of range`};
    return {v};
  };
  const values = [];
  const count = read("number of elements");
  if (count.why)
    return {values, lookup: null, failure: count.why, counted: false};
  for (let i = 0; i < count.v; i++) {
    const a = read(`element ${i + 1}`);
    if (a.why)
      return {values, lookup: null, failure: a.why, counted: true};
    values.push(a.v);
  }
  const lookup = read("element to search");
  if (lookup.why && !lookup.why.endsWith("end of input"))
    return {values, lookup: null, failure: lookup.why, counted: true};
  // What is left after the value to look up is not read, but counted.
  // Words apart as C's isspace has them, each judged whole.
  const words = text.slice(pos).split(/[ \t\n\v\f\r]+/).filter(Boolean);
  return {values, lookup: lookup.why ? null : lookup.v, failure: null, counted: true,
          unread: words.length, allNumbers: words.every((w) => /^[+-]?[0-9]+$/.test(w))};
}

// What rotadraw says of answers left after the value to look up.
export function unreadWords(answers) {
  const n = answers.unread ?? 0;
  return n === 0 ? "" : `rotadraw: ${n} ${answers.allNumbers ? "number" : "answer"}` +
    `${n === 1 ? "" : "s"} after the element to search ${n === 1 ? "was" : "were"} not read`;
}

// The values these steps insert, in order, and the value they look up or
// null.
export function runOf(steps) {
  const values = [];
  let lookup = null;
  for (const s of steps)
    if (isLookup(s))
      lookup = s.lookup;
    else if (makesNode(s))
      values.push(s.value);
  return {values, lookup};
}

// What rotatree reads to make the run of these steps.
export function answersOf(steps) {
  const {values, lookup} = runOf(steps);
  return `${values.length}\n` + (values.length ? `${values.join(" ")}\n` : "") +
         (lookup !== null ? `${lookup}\n` : "");
}
