// The reader's moves, judged at once against the module's own steps: a
// right one is made, a wrong one answered at the tree it was made on, with
// the module's own turns played on it and each mistake said in words.

import {$} from "../../common/page/dom.js";
import {judge, levelWords, scoreLevel, scoreWords} from "./drill.js";
import {GLIDE_MS} from "./picture.js";
import {endLevel, levelName} from "./levels.js";
import {drawPractice, turnAt} from "./practisedraw.js";

// Whether node lies below top.
function below(node, top) {
  for (let p = node.up; p; p = p.up)
    if (p === top)
      return true;
  return false;
}

// What was wrong with turning node `right` (or left) at the level: each
// mistake in words of its own.
function turnMistake(state, node, right) {
  const d = state.drill;
  const turns = d.steps[d.levels[d.at].k].turns, next = turns[d.made];
  const side = (r) => (r ? "right" : "left");
  const hLeft = node.left?.height ?? 0, hRight = node.right?.height ?? 0;
  const small = `${node.a}: left ${hLeft}, right ${hRight}: a difference of 1 or ` +
    "less never turns here.";
  if (!next && turns.length)
    return "one turn too many: the balancing had made all its turns at this level.";
  if (!next)
    return Math.abs(hLeft - hRight) <= 1 ? small : "nothing turns at this level.";
  if (next.node === node.number)
    return `${node.a} turns ${side(next.right)}, not ${side(right)}: its ` +
      `${next.right ? "left" : "right"} side is the taller.`;
  if (below(node, state.tree.nodes[next.node]))
    return `${node.a} is a child of a node that turns first: this balancing looks ` +
      "at the top of the marked subtree first, and turns only where the heights " +
      "differ by 2 or more.";
  if (Math.abs(hLeft - hRight) <= 1)
    return small;
  return `${node.a} is not where the balancing turns next.`;
}

export function turn(page, right) {
  const state = page.practice, d = state.drill;
  if (!d || state.reviewing || d.at >= d.levels.length)
    return;
  if (state.selected === null) {
    $("verdict").textContent = "Select a node first: click it, or Tab to it " +
      "and press Enter.";
    return;
  }
  const node = state.tree.nodes[state.selected];
  const mistake = turnMistake(state, node, right);
  if (judge(d, {node: state.selected, right}) === "turned") {
    turnAt(state, node, right);
    $("verdict").textContent = `${levelName(d)}: right, ${node.a} turned ` +
      `${right ? "right" : "left"}.`;
    drawPractice(page, GLIDE_MS);
  } else {
    review(page, `${mistake} Your move: ${node.a} ${right ? "right" : "left"} (ringed ` +
           "dotted where the balancing didn't turn it).", {node: node.number, right});
  }
}

export function noMoreTurns(page) {
  const state = page.practice, d = state.drill;
  if (!d || state.reviewing || d.at >= d.levels.length)
    return;
  const name = levelName(d);
  if (judge(d, {done: true}) === "level")
    endLevel(page, `${name}: right, no more turns at this level.`);
  else
    review(page, "a turn remained when the level ended.");
}

// Takes back the turns made at the level under way, last first: the tree
// as its balancing found it. The level's turns, as the module makes them.
function takeBack(state) {
  const d = state.drill, turns = d.steps[d.levels[d.at].k].turns;
  for (let j = d.made - 1; j >= 0; j--) {
    const x = state.tree.nodes[turns[j].node];
    turnAt(state, x.up, !turns[j].right);
  }
  return turns;
}

// A wrong move: the level's tree goes back to how the balancing found it,
// the module's own turns are made on it, gliding, with the heights shown,
// and the verdict says why. Go on moves to the next level.
function review(page, mistake, tried = null) {
  const state = page.practice, d = state.drill;
  const turns = takeBack(state);
  state.selected = null;
  state.reviewing = true;
  // The reader's move stays marked where it was tried; the module's turns
  // are marked as the replay marks them: the node turned ringed, the one
  // that rises with its ▲, every node moved dashed.
  state.tried = tried;
  state.marks = {pivots: new Set(), risers: new Set(), moved: new Set()};
  $("practiseHeights").checked = true;
  drawPractice(page, 0);
  for (const t of turns) {
    const x = state.tree.nodes[t.node], rises = t.right ? x.left : x.right;
    const crosses = t.right ? rises.right : rises.left;
    state.marks.pivots.add(x.number);
    state.marks.risers.add(rises.number);
    for (const n of [x, rises, crosses])
      if (n)
        state.marks.moved.add(n.number);
    turnAt(state, x, t.right);
  }
  d.made = turns.length;
  for (const id of ["turnLeft", "turnRight", "noMoreTurns"])
    $(id).disabled = true;
  $("practiseGoOn").hidden = false;
  scoreLevel(d);
  $("score").textContent = scoreWords(d);
  $("verdict").textContent = `${levelName(d)}: not quite: ${mistake} What the ` +
    `balancing does here: ${levelWords(state.checks)}`;
  drawPractice(page, GLIDE_MS);
  $("practiseGoOn").focus();
}

export function goOn(page) {
  endLevel(page, "");
}

// The level under way once more, from the tree as its balancing found it:
// every turn made at it taken back. Its score stays as its first verdict
// gave it. Past the last level, the whole practice again.
export function tryAgain(page, again) {
  const state = page.practice, d = state.drill;
  if (!d || d.at >= d.levels.length)
    return again();
  takeBack(state);
  d.made = 0;
  state.selected = null;
  state.reviewing = false;
  for (const id of ["turnLeft", "turnRight", "noMoreTurns"])
    $(id).disabled = false;
  $("practiseGoOn").hidden = true;
  $("verdict").textContent = `${levelName(d)}, again: the tree as the balancing found it.`;
  drawPractice(page, GLIDE_MS);
}
