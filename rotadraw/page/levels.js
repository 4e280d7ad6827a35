// The practice's levels, one a balancing: each level's tree made as the
// balancing finds it, the value going in marked, the level counted, and the
// levels missed opened again.

import {$} from "../../common/page/dom.js";
import {countLevel, scoreWords} from "./drill.js";
import {balancingChecks} from "./explain.js";
import {clearPicture, GLIDE_MS} from "./picture.js";
import {goesRight} from "./port.js";
import {apply, attach, newTree} from "./replay.js";
import {makesNode, nodeValues} from "./steps.js";
import {balancedRoot, drawPractice, turnAt} from "./practisedraw.js";

// The tree as the balancing at the next level finds it: every step before
// applied, and the new value in place. The way it went down is kept: the
// subtree balanced at level L is that of the L-th node from the bottom.
// With only the levels that turn asked for, the others are made for the
// reader, and said, and not counted.
export function enterLevel(page, glideMs) {
  const state = page.practice, d = state.drill;
  const made = [];
  for (;;) {
    prepareLevel(state);
    if (!state.onlyTurns || d.at >= d.levels.length || d.levels[d.at].turns)
      break;
    made.push(levelName(d));
    state.applied = d.levels[d.at].k;
    d.at++;
  }
  if (made.length)
    $("verdict").textContent += ` Made for you, without a turn: ${made.join("; ")}.`;
  state.selected = null;
  state.reviewing = false;
  $("practiseGoOn").hidden = true;
  const ended = d.at >= d.levels.length;
  for (const id of ["turnLeft", "turnRight", "noMoreTurns"])
    $(id).disabled = ended;
  markValue(d);
  $("task").textContent = ended ? "The tree after the last insertion." :
    `Level ${d.at + 1} of ${d.levels.length}: ${levelName(d)}. What does the ` +
    "balancing of the marked subtree do? Select a node and turn it, as often as " +
    "the balancing turns here, then press No more turns.";
  drawPractice(page, glideMs);
}

function prepareLevel(state) {
  const d = state.drill, steps = d.steps;
  const k = d.at < d.levels.length ? d.levels[d.at].k : steps.length;
  while (state.applied < k - 1)
    apply(state.tree, steps[++state.applied]);
  d.made = 0;
  d.missed = false;
  if (k < steps.length && makesNode(steps[k])) {
    state.path = [];
    for (let p = state.tree.root; p; p = goesRight(p, steps[k].value) ? p.right : p.left)
      state.path.push(p.number);
    attach(state.tree, steps[k].node, steps[k].value);
  }
  // Taken before any turn is made at the level.
  const top = balancedRoot(state);
  state.checks = top === null ? [] : balancingChecks(state.tree.nodes[top]);
}

// "insert 25, step 2"
export function levelName(d) {
  const step = d.steps[d.levels[d.at].k];
  return `insert ${step.value}, step ${step.level}`;
}

// The values in the order they go in, the one going in marked.
function markValue(d) {
  const values = nodeValues(d.steps);
  const at = d.at < d.levels.length ? d.steps[d.levels[d.at].k].node : -1;
  const parts = values.length > 2000 ? [values.join(" ")] : values.flatMap((v, i) => {
    if (i !== at)
      return [`${v} `];
    const mark = document.createElement("mark");
    mark.textContent = v;
    return [mark, " "];
  });
  const list = $("practise-values");
  list.replaceChildren(...parts);
  const mark = list.querySelector("mark");
  if (mark)
    list.scrollTop += mark.getBoundingClientRect().top - list.getBoundingClientRect().top -
      list.clientHeight / 3;
}

// Counts the level, unless it is one opened again, and moves on.
function passLevel(d) {
  if (d.again)
    d.at++;
  else
    countLevel(d);
}

// Counts the level, its turns made as the module makes them, then on to
// the next, or the end with the levels missed, each of which opens again.
export function endLevel(page, verdict) {
  const state = page.practice, d = state.drill;
  const k = d.levels[d.at].k;
  for (const t of d.steps[k].turns.slice(d.made))
    turnAt(state, state.tree.nodes[t.node], t.right);
  state.applied = k;
  passLevel(d);
  $("score").textContent = scoreWords(d);
  $("verdict").textContent = d.at < d.levels.length ? verdict :
    `${verdict} The practice is done: ${scoreWords(d)}.`;
  if (d.at >= d.levels.length)
    listMissed(d);
  enterLevel(page, GLIDE_MS);
}

function listMissed(d) {
  const buttons = d.missedLevels.map((at) => {
    const b = document.createElement("button");
    b.type = "button";
    b.dataset.level = at;
    const step = d.steps[d.levels[at].k];
    b.textContent = `insert ${step.value}, step ${step.level}`;
    return b;
  });
  $("missedLevels").replaceChildren(...(buttons.length ?
    [document.createTextNode("Missed, to try again: "), ...buttons] : []));
}

// Opens level `at` again, its tree made anew up to it.
export function openLevel(page, at) {
  const state = page.practice, d = state.drill;
  state.tree = newTree();
  state.applied = -1;
  clearPicture(state.live, state.geometry.r);
  d.at = at;
  d.again = true;
  $("verdict").textContent = "";
  enterLevel(page, 0);
}
