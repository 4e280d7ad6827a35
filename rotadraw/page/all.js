// Every step on one page, one still picture each, in order, and back to one
// step at a time. A picture is drawn as it comes near the window, from a
// replay of its own, so that a long run costs only what is looked at.

import {$} from "../../common/page/dom.js";
import {pause} from "../../common/page/player.js";
import {go} from "./cursor.js";
import {FULL_SIZE, pictureSize, placesOf} from "./layout.js";
import {lookOf} from "./look.js";
import {apply, newMarks, newTree, undo} from "./replay.js";
import {headingOf, isLookup} from "./steps.js";
import {escapeText, pictureText} from "./still.js";

// A long run is cut after this many steps; the rest one at a time.
const ALL_STEPS_MAX = 5000;
// How far from the window a picture is drawn before it is scrolled to.
const ALL_NEAR = "1500px";

export function showAll(page) {
  pause(page.player);
  const steps = page.cursor.steps;
  const count = Math.min(steps.length, ALL_STEPS_MAX);
  const parts = [];
  for (let k = 0; k < count; k++) {
    // Room for the picture before it is drawn: as wide as it will be, and
    // as tall as the tree after its insertion.
    const step = steps[k];
    const row = page.stats.insertions[isLookup(step) ? page.stats.insertions.length - 1 : step.node];
    const nodes = isLookup(step) ? page.stats.insertions.length : step.node + 1;
    const {width, height} = pictureSize(page.geometry, nodes, row && row.height ? row.height : 1);
    parts.push(`<section class="step"><h2>${escapeText(headingOf(step, page.values))}</h2>` +
               `<div class="still" data-step="${k}" style="width: ${width}px; ` +
               `height: ${height}px"></div></section>`);
  }
  $("allNote").textContent = count < steps.length ?
    `The first ${count} of ${steps.length} steps; the rest one at a time, ` +
    `from #step=${count + 1}.` : `All ${count} steps.`;
  $("pictures").innerHTML = parts.join("");
  $("one").hidden = true;
  $("practise").hidden = true;
  $("all").hidden = false;
  // The legend goes with the pictures, and the way back to the step shown.
  $("allLegend").append($("legend"));
  $("stepByStep").href = `#step=${Math.max(1, page.cursor.at + 1)}`;
  history.replaceState(null, "", "#all");
  drawWhenNear(page, steps);
}

function drawWhenNear(page, steps) {
  const replay = {tree: newTree(), at: -1};
  const draw = (box) => {
    const k = Number(box.dataset.step);
    const marks = newMarks();
    while (replay.at >= k)
      undo(replay.tree, steps[replay.at--]);
    while (replay.at < k - 1)
      apply(replay.tree, steps[++replay.at]);
    apply(replay.tree, steps[++replay.at], marks);
    const heading = headingOf(steps[k], page.values);
    box.innerHTML = pictureText(placesOf(replay.tree, page.geometry, FULL_SIZE,
                                         lookOf(steps[k], marks, false)), heading);
    box.removeAttribute("style");
  };
  page.allSeen?.disconnect();
  page.allSeen = new IntersectionObserver((seen) => {
    const near = seen.filter((e) => e.isIntersecting).map((e) => e.target);
    near.sort((a, b) => a.dataset.step - b.dataset.step);
    for (const box of near) {
      page.allSeen.unobserve(box);
      draw(box);
    }
  }, {rootMargin: ALL_NEAR});
  for (const box of $("pictures").querySelectorAll(".still"))
    page.allSeen.observe(box);
}

export function showOne(page, k) {
  page.allSeen?.disconnect();
  $("all").hidden = true;
  $("practise").hidden = true;
  $("yourself").after($("legend"));
  $("pictures").innerHTML = "";
  $("one").hidden = false;
  go(page, k);
}
