// Practice in the page: the reader does the balancing, level by level, on the
// run's own values or on values drawn from a seed, and each move is judged at
// once against the module's own steps. A wrong move is answered at the tree
// it was made on: the tree as the balancing found it, and the module's own
// turns played on it. It has a tree and a picture of its own, and leaves the
// run shown as it was.

import {$} from "../../common/page/dom.js";
import {pause} from "../../common/page/player.js";
import {showOne} from "./all.js";
import {countLevel, judge, levelWords, newDrill, scoreWords, seededValues, seedOf,
  turningLevels} from "./drill.js";
import {balancingChecks} from "./explain.js";
import {geometryOf, placesOf, zoomOf} from "./layout.js";
import {clearPicture, drawPicture, GLIDE_MS, measure, newPicture} from "./picture.js";
import {goesRight} from "./port.js";
import {apply, attach, newTree, rotate} from "./replay.js";
import {runSteps} from "./runs.js";
import {isLookup, makesNode, nodeValues} from "./steps.js";

const newSeed = () => String(1 + Math.floor(Math.random() * 99999));

export function startPractising(page) {
  const state = {live: newPicture($("practisePicture"), 0, true), drill: null,
                 tree: null, applied: -1, selected: null, path: [], seed: null,
                 onlyTurns: false, geometry: null, checks: [], reviewing: false};
  page.practice = state;
  const pick = (g) => {
    if (!g || !state.drill || state.reviewing)
      return;
    state.selected = Number(g.dataset.number);
    drawPractice(page, 0);
    state.live.shown.get(state.tree.nodes[state.selected])?.g.focus();
  };
  $("practisePicture").addEventListener("click", (e) => pick(e.target.closest("g.node")));
  $("practisePicture").addEventListener("keydown", (e) => {
    const g = e.target.closest("g.node");
    if (e.key === "Enter" || e.key === " ") {
      e.preventDefault();
      pick(g);
    } else if (g && /^Arrow/.test(e.key)) {
      e.preventDefault();
      focusNext(state, state.tree.nodes[Number(g.dataset.number)], e.key);
    }
  });
  $("turnLeft").addEventListener("click", () => turn(page, false));
  $("turnRight").addEventListener("click", () => turn(page, true));
  $("noMoreTurns").addEventListener("click", () => noMoreTurns(page));
  $("practiseGoOn").addEventListener("click", () => goOn(page));
  $("practiseAgain").addEventListener("click", () => practise(page, state.seed));
  $("practiseNew").addEventListener("click", () => practise(page, newSeed()));
  $("practiseRun").addEventListener("click", () => practise(page, null));
  $("practiseSeeded").addEventListener("click", () => practise(page, newSeed()));
  $("leavePractice").addEventListener("click", () => leavePractice(page));
  $("practiseHeights").addEventListener("change", () => drawPractice(page, 0));
  $("practiseTurnsOnly").addEventListener("change", () =>
    practise(page, state.seed, $("practiseTurnsOnly").checked));
  $("missedLevels").addEventListener("click", (e) => {
    const b = e.target.closest("button[data-level]");
    if (b)
      openLevel(page, Number(b.dataset.level));
  });
  // The practice keys, as the practice's list says, but in a field.
  const keys = {l: () => turn(page, false), r: () => turn(page, true),
                n: () => noMoreTurns(page),
                h: () => $("practiseHeights").click()};
  document.addEventListener("keydown", (e) => {
    if ($("practise").hidden || !keys[e.key] || e.ctrlKey || e.altKey || e.metaKey ||
        e.target.matches("textarea, select, input:not([type=checkbox])"))
      return;
    e.preventDefault();
    keys[e.key]();
  });
}

// Tab moves from node to node as well; the arrows go by the tree: left and
// right to the neighbours in order, up to the parent, down to a child.
function focusNext(state, node, key) {
  const order = state.tree.nodes.filter(Boolean).sort((x, y) =>
    state.live.shown.get(x)?.x - state.live.shown.get(y)?.x);
  const i = order.indexOf(node);
  const to = {ArrowLeft: order[i - 1], ArrowRight: order[i + 1], ArrowUp: node.up,
              ArrowDown: node.left ?? node.right}[key];
  if (to)
    state.live.shown.get(to)?.g.focus();
}

// Starts practising on the values of the run shown, or, with a seed, on the
// values it gives; only at the levels that turn, when asked. The address
// says which. An empty seed is said, and a fresh one drawn.
export function practise(page, seed, onlyTurns = page.practice.onlyTurns) {
  pause(page.player);
  const state = page.practice;
  let said = "";
  if (seed !== null && seedOf(seed) === null) {
    seed = newSeed();
    said = `The seed was empty: here are the values of a fresh one, ${seed}. `;
  }
  state.seed = seed === null ? null : seedOf(seed);
  state.onlyTurns = onlyTurns;
  $("practiseTurnsOnly").checked = onlyTurns;
  // The run's own steps are the module's already, and a long run's would
  // take long to make again.
  const steps = state.seed === null ? page.cursor.steps.filter((s) => !isLookup(s)) :
    runSteps(seededValues(state.seed), null);
  state.drill = newDrill(steps);
  state.tree = newTree();
  state.applied = -1;
  state.geometry = geometryOf(steps);
  clearPicture(state.live, state.geometry.r);
  $("practiseHeights").checked = true;
  const d = state.drill;
  $("practiseCount").textContent = `${d.levels.length} level` +
    `${d.levels.length === 1 ? "" : "s"}; at ${turningLevels(steps)} of them the ` +
    "balancing turns.";
  $("verdict").textContent = said;
  $("score").textContent = "";
  $("missedLevels").replaceChildren();
  for (const id of ["one", "all"])
    $(id).hidden = true;
  document.querySelector("footer").hidden = true;
  $("practise").hidden = false;
  const name = onlyTurns ? "#practise-turns" : "#practise";
  history.replaceState(null, "", state.seed === null ? name :
    `${name}=${encodeURIComponent(state.seed)}`);
  enterLevel(page, 0);
}

export function leavePractice(page) {
  page.practice.drill = null;
  $("practise").hidden = true;
  document.querySelector("footer").hidden = false;
  showOne(page, page.cursor.at);
}

// The tree as the balancing at the next level finds it: every step before
// applied, and the new value in place. The way it went down is kept: the
// subtree balanced at level L is that of the L-th node from the bottom.
// With only the levels that turn asked for, the others are made for the
// reader, and said, and not counted.
function enterLevel(page, glideMs) {
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
function levelName(d) {
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

// The subtree being balanced: its root's number, or null.
function balancedRoot(state) {
  const d = state.drill;
  if (d.at >= d.levels.length)
    return null;
  const step = d.steps[d.levels[d.at].k];
  return state.path[step.levels - step.level] ?? null;
}

function drawPractice(page, glideMs) {
  const state = page.practice, d = state.drill;
  const tree = state.tree;
  const inside = new Set();
  const top = balancedRoot(state);
  for (const stack = top === null ? [] : [tree.nodes[top]]; stack.length;) {
    const n = stack.pop();
    inside.add(n.number);
    stack.push(...[n.left, n.right].filter(Boolean));
  }
  const step = d.steps[d.at < d.levels.length ? d.levels[d.at].k : d.steps.length - 1];
  const look = (node) => {
    const classes = [];
    if (inside.has(node.number))
      classes.push("balanced");
    if (node.number === step.node && d.at < d.levels.length)
      classes.push("moved");
    if (node.number === state.selected)
      classes.push("selected");
    return {classes, edge: "edge",
            height: $("practiseHeights").checked ? String(node.height) : null};
  };
  const zoom = zoomOf(state.geometry, tree.nodes.length, measure(state.live).width);
  drawPicture(state.live, placesOf(tree, state.geometry, zoom, look),
              `Practise: ${$("task").textContent}`,
              page.reducedMotion.matches ? 0 : glideMs);
}

// Turns node x of the practice tree; a node that rises to the top of the
// marked subtree is its top from then on.
function turnAt(state, x, right) {
  const r = rotate(state.tree, x, right);
  const i = state.path.indexOf(x.number);
  if (i >= 0)
    state.path[i] = r.number;
}

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

function turn(page, right) {
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
    review(page, mistake);
  }
}

function noMoreTurns(page) {
  const state = page.practice, d = state.drill;
  if (!d || state.reviewing || d.at >= d.levels.length)
    return;
  const name = levelName(d);
  if (judge(d, {done: true}) === "level")
    endLevel(page, `${name}: right, no more turns at this level.`);
  else
    review(page, "a turn remained when the level ended.");
}

// A wrong move: the level's tree goes back to how the balancing found it,
// the module's own turns are made on it, gliding, with the heights shown,
// and the verdict says why. Go on moves to the next level.
function review(page, mistake) {
  const state = page.practice, d = state.drill;
  const turns = d.steps[d.levels[d.at].k].turns;
  for (let j = d.made - 1; j >= 0; j--) {
    const x = state.tree.nodes[turns[j].node];
    turnAt(state, x.up, !turns[j].right);
  }
  state.selected = null;
  state.reviewing = true;
  $("practiseHeights").checked = true;
  drawPractice(page, 0);
  for (const t of turns)
    turnAt(state, state.tree.nodes[t.node], t.right);
  d.made = turns.length;
  for (const id of ["turnLeft", "turnRight", "noMoreTurns"])
    $(id).disabled = true;
  $("practiseGoOn").hidden = false;
  $("verdict").textContent = `${levelName(d)}: not quite: ${mistake} What the ` +
    `balancing does here: ${levelWords(state.checks)}`;
  drawPractice(page, GLIDE_MS);
  $("practiseGoOn").focus();
}

function goOn(page) {
  endLevel(page, "");
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
function endLevel(page, verdict) {
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
function openLevel(page, at) {
  const state = page.practice, d = state.drill;
  state.tree = newTree();
  state.applied = -1;
  clearPicture(state.live, state.geometry.r);
  d.at = at;
  d.again = true;
  $("verdict").textContent = "";
  enterLevel(page, 0);
}
