// The page's start, and the cursor: the steps shown, the step the tree is
// in, and that tree. Only this file writes the cursor; the others are
// handed the page and go to a step or show other steps through it.
// Provides $, go, show, setSteps and startPage. Uses every other file.
"use strict";

// Heights are shown at first for a tree small enough to read them.
const HEIGHTS_NODES_MAX = 64;

function $(id) {
  return document.getElementById(id);
}

// Moves the tree to step k, one step at a time.
function moveTo(cursor, k) {
  while (cursor.at < k)
    apply(cursor.tree, cursor.steps[++cursor.at]);
  while (cursor.at > k)
    undo(cursor.tree, cursor.steps[cursor.at--]);
}

// Draws the step the tree is in. Neighbouring steps glide, unless the
// reader asked for less motion.
function show(page, glide) {
  const {steps, at, tree} = page.cursor;
  const step = steps[at];
  const geometry = $("full").checked ? page.geometry :
    fitted(page.geometry, tree.nodes.length, $("picture").clientWidth);
  const picture = placesOf(tree, step, geometry, $("heights").checked);
  const heading = step ? headingOf(step, page.values) :
    "== no steps: the answers held no values and no value to look up";
  $("heading").textContent = heading;
  drawPicture(page.live, tree, picture, heading,
              glide && !page.reducedMotion.matches ? 0.6 * stepMs() : 0);
}

// Shows step k (0-based), and names it in the address.
function go(page, k) {
  const c = page.cursor;
  const last = c.steps.length - 1;
  k = Math.max(Math.min(k, last), last < 0 ? -1 : 0);
  const glide = Math.abs(k - c.at) === 1;
  moveTo(c, k);
  show(page, glide);
  $("slider").max = Math.max(1, c.steps.length);
  $("slider").value = k + 1;
  $("where").textContent = `step ${k + 1} of ${c.steps.length}`;
  if (k >= 0)
    history.replaceState(null, "", `#step=${k + 1}`);
  markChart(page);
  if (k >= last)
    pause(page);
}

// Shows a run of other steps, from step k.
function setSteps(page, steps, k) {
  pause(page);
  page.geometry = geometryOf(steps);
  clearPicture(page.live, page.geometry.r);
  Object.assign(page.cursor, {steps, at: -1, tree: newTree()});
  page.values = nodeValues(steps);
  drawChart(page);
  $("differs").hidden = steps === page.record.steps;
  $("recorded").disabled = steps === page.record.steps;
  go(page, k);
}

function startPage() {
  const record = readRecord($("run").textContent);
  const geometry = geometryOf(record.steps);
  const page = {
    record,
    cursor: {steps: record.steps, at: -1, tree: newTree()},
    values: nodeValues(record.steps),
    geometry,
    insertions: [],
    live: newPicture($("picture"), geometry.r),
    reducedMotion: matchMedia("(prefers-reduced-motion: reduce)"),
    timer: null,
  };
  if (record.failure !== null) {
    $("failure").textContent = `The answers fell short (${record.failure}); ` +
      "every step before that is here.";
    $("failure").hidden = false;
  }
  startControls(page);
  listenToChart(page);
  startTrying(page);
  drawChart(page);
  setHeights(page, record.steps.filter(makesNode).length <= HEIGHTS_NODES_MAX);
  followAddress(page);
  document.documentElement.dataset.drawnMs = Math.round(performance.now());
}

if (typeof document !== "undefined")
  startPage();
else if (typeof module === "object")
  module.exports = {runSteps, newTree, apply};
