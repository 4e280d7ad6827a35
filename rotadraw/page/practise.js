// Practice in the page: the reader does the balancing, level by level, on the
// run's own values or on values drawn from a seed, and each move is judged at
// once against the module's own steps. A wrong move is answered at the tree
// it was made on: the tree as the balancing found it, and the module's own
// turns played on it. It has a tree and a picture of its own, and leaves the
// run shown as it was. Here are its controls and keys; levels.js makes the
// levels, judging.js judges the moves, practisedraw.js draws the tree.

import {$} from "../../common/page/dom.js";
import {pause} from "../../common/page/player.js";
import {showOne} from "./all.js";
import {newDrill, scoreWords, seededValues, seedOf, turningLevels} from "./drill.js";
import {geometryOf} from "./layout.js";
import {clearPicture, newPicture} from "./picture.js";
import {newTree} from "./replay.js";
import {runSteps} from "./runs.js";
import {isLookup} from "./steps.js";
import {goOn, noMoreTurns, tryAgain, turn} from "./judging.js";
import {enterLevel, openLevel} from "./levels.js";
import {drawPractice} from "./practisedraw.js";

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
  $("practiseAgain").addEventListener("click", () =>
    tryAgain(page, () => practise(page, state.seed)));
  $("practiseNew").addEventListener("click", () => practise(page, newSeed()));
  $("practiseRun").addEventListener("click", () => practise(page, null));
  $("practiseSeeded").addEventListener("click", () => practise(page, newSeed()));
  $("leavePractice").addEventListener("click", () => leavePractice(page));
  $("copyResult").addEventListener("click", () => copyResult(state));
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

// The practice's result as one line, for a teacher: its values (by seed,
// which brings them back), the score by kind of level, and the date.
export function resultLine(state, date = new Date()) {
  const day = [date.getFullYear(), date.getMonth() + 1, date.getDate()]
    .map((n) => String(n).padStart(2, "0")).join("-");
  const values = state.seed === null ? "the run's own values" : `seed ${state.seed}`;
  return `rotadraw practice, ${values}${state.onlyTurns ? ", only the levels that turn" : ""}` +
    `: ${state.drill ? scoreWords(state.drill) : "not begun"}; ${day}`;
}

// Copied where the browser lets a page copy; shown to be copied by hand
// in any case.
function copyResult(state) {
  const line = resultLine(state);
  $("resultLine").textContent = line;
  navigator.clipboard?.writeText(line).then(
    () => ($("resultLine").textContent = `${line} (copied)`), () => {});
}
