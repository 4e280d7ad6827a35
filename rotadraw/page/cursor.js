// The cursor: the step shown, the tree as it stands at that step, and the
// marks the step makes. Only this file moves it; the others go to a step
// through it.

import {nameInAddress} from "../../common/page/address.js";
import {$} from "../../common/page/dom.js";
import {playing} from "../../common/page/player.js";
import {stepMs} from "../../common/page/speed.js";
import {treeWords} from "./explain.js";
import {markChart} from "./glance.js";
import {placesOf, zoomOf} from "./layout.js";
import {lookOf} from "./look.js";
import {drawPicture, measure} from "./picture.js";
import {apply, newMarks, undo} from "./replay.js";
import {headingOf, turnsOf} from "./steps.js";
import {checksAt, showWhy} from "./why.js";

// Moves the tree to step k in two steps: to the step before it, undoing
// or applying, and then step k itself, noting what it marks.
function moveTo(cursor, k) {
  while (cursor.at >= k && cursor.at >= 0)
    undo(cursor.tree, cursor.steps[cursor.at--]);
  while (cursor.at < k - 1)
    apply(cursor.tree, cursor.steps[++cursor.at]);
  cursor.marks = newMarks();
  if (k >= 0)
    apply(cursor.tree, cursor.steps[++cursor.at], cursor.marks);
}

// Puts other steps under the cursor, whose tree `tree` stands at step at.
export function setCursor(page, steps, at, tree) {
  Object.assign(page.cursor, {steps, at, tree, marks: newMarks()});
}

// Draws the step the tree is in. Neighbouring steps glide, unless the
// reader asked for less motion.
export function show(page, glide) {
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
  if (!playing(page.player))
    $("said").textContent = heading.replace(/^== /, "");
}

// Shows step k (0-based), and names it in the address. A step that turns,
// reached by a jump from another, is shown turning: the step before it,
// then the glide. A run just shown is drawn still.
export function go(page, k, still = false) {
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
  nameInAddress("step", k);
  markChart(page);
}

