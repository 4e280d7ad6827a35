// Practice in the page: the reader does the balancing, level by level, on the
// run's own values or on values drawn from a seed, and each move is judged at
// once against the module's own steps. It has a tree and a picture of its own,
// and leaves the run shown as it was.

import {$} from "../../common/page/dom.js";
import {pause} from "../../common/page/player.js";
import {showOne} from "./all.js";
import {judge, levelWords, newDrill, seededValues} from "./drill.js";
import {balancingChecks} from "./explain.js";
import {geometryOf, placesOf, zoomOf} from "./layout.js";
import {clearPicture, drawPicture, GLIDE_MS, measure, newPicture} from "./picture.js";
import {goesRight} from "./port.js";
import {apply, attach, newTree, rotate} from "./replay.js";
import {runSteps} from "./runs.js";
import {headingOf, isLookup, makesNode, nodeValues} from "./steps.js";

export function startPractising(page) {
  const state = {live: newPicture($("practisePicture"), 0, true), drill: null,
                 tree: null, applied: -1, selected: null, path: [], seed: null,
                 geometry: null, checks: []};
  page.practice = state;
  const pick = (g) => {
    if (!g || !state.drill)
      return;
    state.selected = Number(g.dataset.number);
    drawPractice(page, 0);
    state.live.shown.get(state.tree.nodes[state.selected])?.g.focus();
  };
  $("practisePicture").addEventListener("click", (e) => pick(e.target.closest("g.node")));
  $("practisePicture").addEventListener("keydown", (e) => {
    if (e.key === "Enter" || e.key === " ") {
      e.preventDefault();
      pick(e.target.closest("g.node"));
    }
  });
  $("turnLeft").addEventListener("click", () => turn(page, false));
  $("turnRight").addEventListener("click", () => turn(page, true));
  $("noMoreTurns").addEventListener("click", () => noMoreTurns(page));
  const newSeed = () => String(1 + Math.floor(Math.random() * 99999));
  $("practiseAgain").addEventListener("click", () => practise(page, state.seed));
  $("practiseNew").addEventListener("click", () => practise(page, newSeed()));
  $("practiseRun").addEventListener("click", () => practise(page, null));
  $("practiseSeeded").addEventListener("click", () => practise(page, newSeed()));
  $("leavePractice").addEventListener("click", () => leavePractice(page));
  $("practiseHeights").addEventListener("change", () => drawPractice(page, 0));
}

// Starts practising on the values of the run shown, or, with a seed, on
// the values it gives; the address says which.
export function practise(page, seed) {
  pause(page.player);
  const state = page.practice;
  state.seed = seed;
  // The run's own steps are the module's already, and a long run's would
  // take long to make again.
  const steps = state.seed === null ? page.cursor.steps.filter((s) => !isLookup(s)) :
    runSteps(seededValues(state.seed), null);
  state.drill = newDrill(steps);
  state.tree = newTree();
  state.applied = -1;
  state.selected = null;
  state.geometry = geometryOf(steps);
  clearPicture(state.live, state.geometry.r);
  $("practise-values").textContent = nodeValues(steps).join(" ");
  $("verdict").textContent = "";
  $("score").textContent = "";
  for (const id of ["one", "all"])
    $(id).hidden = true;
  $("practise").hidden = false;
  history.replaceState(null, "", state.seed === null ? "#practise" :
    `#practise=${encodeURIComponent(state.seed)}`);
  enterLevel(page, 0);
}

export function leavePractice(page) {
  page.practice.drill = null;
  $("practise").hidden = true;
  showOne(page, page.cursor.at);
}

// The tree as the balancing at the next level finds it: every step before
// applied, and the new value in place. The way it went down is kept: the
// subtree balanced at level L is that of the L-th node from the bottom.
function enterLevel(page, glideMs) {
  const state = page.practice, d = state.drill;
  const steps = d.steps;
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
  state.selected = null;
  const ended = d.at >= d.levels.length;
  for (const id of ["turnLeft", "turnRight", "noMoreTurns"])
    $(id).disabled = ended;
  $("task").textContent = ended ? "The tree after the last insertion." :
    `${headingOf(steps[k], []).replace(/^== /, "").replace(/:.*/, "")}: what does ` +
    "the balancing of the marked subtree do? Select a node and turn it, as " +
    "often as the balancing turns here, then press No more turns.";
  drawPractice(page, glideMs);
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

function turn(page, right) {
  const state = page.practice, d = state.drill;
  if (state.selected === null) {
    $("verdict").textContent = "Select a node first: click it, or Tab to it " +
      "and press Enter.";
    return;
  }
  const node = state.tree.nodes[state.selected];
  if (judge(d, {node: state.selected, right}) === "turned") {
    rotate(state.tree, node, right);
    $("verdict").textContent = `Right: ${node.a} turned ${right ? "right" : "left"}.`;
    drawPractice(page, GLIDE_MS);
  } else {
    endLevel(page, `Not quite. ${levelWords(page.practice.checks)}`);
  }
}

function noMoreTurns(page) {
  const d = page.practice.drill;
  endLevel(page, judge(d, {done: true}) === "level" ?
    "Right: no more turns at this level." : `Not quite. ${levelWords(page.practice.checks)}`);
}

// Ends the level as the module does, its turns that the reader hasn't made
// made for them, and counts it; then on to the next, or the end.
function endLevel(page, verdict) {
  const state = page.practice, d = state.drill;
  const k = d.levels[d.at].k;
  for (const t of d.steps[k].turns.slice(d.made))
    rotate(state.tree, state.tree.nodes[t.node], t.right);
  state.applied = k;
  if (!d.missed)
    d.levelsRight++;
  d.at++;
  $("score").textContent = `${d.levelsRight} of ${d.at} levels right`;
  $("verdict").textContent = d.at < d.levels.length ? verdict :
    `${verdict} The practice is done: ${d.levelsRight} of ${d.at} levels right.`;
  enterLevel(page, GLIDE_MS);
}
