// Practice, without the page: the values a seed gives, the levels of their
// insertions with the turns the module makes at each, in order, and the
// judging of each move the reader makes against them.

import {checkLines} from "./explain.js";
import {runSteps} from "./runs.js";

const DRILL_VALUES = 10;
// An exercise turns at this many levels at least.
const TURNING_LEAST = 3;
// Lists drawn from a seed before the last is taken as it is; any seed
// finds one in a few.
const DRILL_TRIES = 1000;

// A fixed generator (mulberry32), so that a seed gives the same values in
// every browser; the seed is any text, a number or a word, read a code
// point at a time.
export function seededValues(seed) {
  let h = 2166136261;
  for (const c of String(seed))
    h = Math.imul(h ^ c.codePointAt(0), 16777619);
  let s = h >>> 0;
  const next = () => {
    s = (s + 0x6d2b79f5) | 0;
    let t = Math.imul(s ^ (s >>> 15), 1 | s);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  // Lists are drawn until one turns at enough levels to be an exercise, so
  // that guessing "no more turns" can't pass it; the same seed still gives
  // the same values everywhere.
  for (let tries = 1; ; tries++) {
    const values = [];
    while (values.length < DRILL_VALUES) {
      const v = 1 + Math.floor(next() * 99);
      if (!values.includes(v))
        values.push(v);
    }
    if (tries >= DRILL_TRIES || turningLevels(runSteps(values, null)) >= TURNING_LEAST)
      return values;
  }
}

// The levels of a run's insertions at which the balancing turns.
export function turningLevels(steps) {
  return steps.filter((s) => s.levels > 0 && s.turns.length > 0).length;
}

// A seed as typed or addressed, trimmed and case-folded; null when nothing
// is left of it.
export function seedOf(text) {
  const seed = String(text).trim().toLowerCase();
  return seed === "" ? null : seed;
}

// The levels to practise in the module's steps of a run's insertions:
// every step of an insertion after the first value's, and whether it turns.
// What each level's balancing checks is worked out as the level comes,
// since all of them would be as many as the steps times the nodes. Where
// the reader stands: the level, the turns made at it, whether it has been
// missed; the levels missed; and the score, the levels that turn and those
// that don't apart.
export function newDrill(steps) {
  const levels = [];
  steps.forEach((step, k) => {
    if (step.levels > 0)
      levels.push({k, turns: step.turns.length > 0});
  });
  return {steps, levels, at: 0, made: 0, missed: false, missedLevels: [],
          score: {turns: 0, turning: 0, flat: 0, flats: 0}};
}

// Counts the level under way, right or missed, once: as its first verdict
// is given.
export function scoreLevel(drill) {
  if (drill.counted || drill.again)
    return;
  drill.counted = true;
  const {score} = drill, level = drill.levels[drill.at];
  if (level.turns) {
    score.turning++;
    score.turns += !drill.missed;
  } else {
    score.flats++;
    score.flat += !drill.missed;
  }
  if (drill.missed && !drill.missedLevels.includes(drill.at))
    drill.missedLevels.push(drill.at);
}

// Counts the level under way, unless its verdict has been, and moves on
// to the next.
export function countLevel(drill) {
  scoreLevel(drill);
  drill.at++;
  drill.made = 0;
  drill.missed = false;
  drill.counted = false;
}

export function scoreWords({score}) {
  return `turns: ${score.turns} of ${score.turning} right; ` +
    `levels without a turn: ${score.flat} of ${score.flats} right`;
}

// Judges a move at the level under way: {node, right} for a turn, or
// {done: true} for "No more turns". "turned" for a right turn, which the
// caller makes; "level" when the level ends right; "wrong" otherwise,
// after which the caller finishes the level as the module does.
export function judge(drill, move) {
  const turns = drill.steps[drill.levels[drill.at].k].turns;
  const next = turns[drill.made];
  if (!move.done && next && next.node === move.node && next.right === move.right) {
    drill.made++;
    return "turned";
  }
  if (move.done && drill.made === turns.length)
    return "level";
  drill.missed = true;
  return "wrong";
}

// What the balancing does at a level, from its checks, in the words of
// --explain.
export function levelWords(checks) {
  return checkLines(checks).join("; ") + ".";
}
