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

// Moves the tree to step k, one step at a time, and notes what step k
// marks as it is applied.
function moveTo(cursor, k) {
  if (cursor.at >= k && k >= 0) {
    while (cursor.at >= k)
      undo(cursor.tree, cursor.steps[cursor.at--]);
  }
  while (cursor.at < k - 1)
    apply(cursor.tree, cursor.steps[++cursor.at]);
  cursor.marks = newMarks();
  while (cursor.at < k)
    apply(cursor.tree, cursor.steps[++cursor.at], cursor.marks);
  while (cursor.at > k)
    undo(cursor.tree, cursor.steps[cursor.at--]);
}

// Draws the step the tree is in. Neighbouring steps glide, unless the
// reader asked for less motion.
function show(page, glide) {
  const {steps, at, tree, marks} = page.cursor;
  const step = steps[at];
  const checks = checksAt(page);
  const zoom = zoomOf(page.geometry, tree.nodes.length, measure(page.live).width,
                     page.scale ?? undefined);
  const picture = placesOf(tree, page.geometry, zoom,
                           lookOf(step, marks, $("heights").checked, checks));
  const heading = step ? headingOf(step, page.values) :
    "== no steps: the answers held no values and no value to look up";
  // A narrow screen breaks the heading anywhere but inside "at VALUE".
  $("heading").replaceChildren(...heading.split(/(at -?\d+)/).map((part, i) => {
    if (i % 2 === 0)
      return part;
    const kept = document.createElement("span");
    kept.className = "whole";
    kept.textContent = part;
    return kept;
  }));
  showWhy(page, step, checks);
  $("treeText").textContent = treeWords(tree);
  drawPicture(page.live, picture, heading,
              glide && !page.reducedMotion.matches ? 0.6 * stepMs() : 0);
  if (page.timer === null)
    $("said").textContent = heading.replace(/^== /, "");
}

// Shows step k (0-based), and names it in the address. A step that turns,
// reached by a jump from another, is shown turning: the step before it,
// then the glide. A run just shown is drawn still.
function go(page, k, still = false) {
  const c = page.cursor;
  const last = c.steps.length - 1;
  k = Math.max(Math.min(k, last), last < 0 ? -1 : 0);
  if (!still && k > 0 && Math.abs(k - c.at) !== 1 && turnsOf(c.steps[k]).length) {
    moveTo(c, k - 1);
    show(page, false);
  }
  const glide = !still && Math.abs(k - c.at) === 1;
  moveTo(c, k);
  show(page, glide);
  $("slider").max = Math.max(1, c.steps.length);
  $("slider").value = k + 1;
  $("where").textContent = k >= 0 ? `step ${k + 1} of ${c.steps.length}` : "no steps";
  history.replaceState(null, "", k >= 0 ? `#step=${k + 1}` : location.pathname);
  markChart(page);
  if (k >= last)
    pause(page);
}

// Says why the answers of the run shown fell short, if they did.
function noteFailure(failure) {
  $("failure").textContent = failure === null ? "" :
    `The answers fell short (${failure}); every step before that is here.`;
  $("failure").hidden = failure === null;
}

// Shows a run of other steps, from step k; `failure` says why its answers
// fell short, or is null. Its numbers are made, unless they are given, and
// their tree becomes the cursor's.
function setSteps(page, steps, k, failure, stats = runStats(steps)) {
  pause(page);
  page.failure = failure;
  noteFailure(failure);
  page.geometry = geometryOf(steps);
  clearPicture(page.live, page.geometry.r);
  page.stats = stats;
  Object.assign(page.cursor, {steps, at: stats.at, tree: stats.tree, marks: newMarks()});
  page.values = nodeValues(steps);
  drawChart(page);
  $("differs").hidden = steps === page.record.steps;
  $("recorded").disabled = steps === page.record.steps;
  go(page, k, true);
}

function startPage() {
  const record = readRecord($("run").textContent);
  const page = {
    record,
    cursor: {steps: [], at: -1, tree: newTree(), marks: newMarks()},
    live: newPicture($("picture"), 0),
    codeLines: startWhy(),
    reducedMotion: matchMedia("(prefers-reduced-motion: reduce)"),
    timer: null,
    scale: null, // the picture's size, times its full size, or null: fitted
  };
  // On a touch screen, keys are no help.
  if (matchMedia("(pointer: coarse)").matches)
    document.querySelector("footer details").open = false;
  startControls(page);
  listenToChart(page);
  startTrying(page);
  const stats = runStats(record.steps);
  setHeights(page, stats.insertions.length <= HEIGHTS_NODES_MAX);
  startPractising(page);
  // Showing a step names it in the address, which may ask for another view.
  const hash = location.hash;
  $("one").hidden = hash === "#all" || hash.startsWith("#practise");
  setSteps(page, record.steps, addressedStep(), record.failure, stats);
  if ($("one").hidden) {
    history.replaceState(null, "", hash);
    followAddress(page);
  }
  document.documentElement.dataset.drawnMs = Math.round(performance.now());
}

if (typeof document !== "undefined")
  startPage();
else if (typeof module === "object")
  module.exports = {runSteps, newTree, apply, insertionChecks};
