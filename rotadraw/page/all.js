// Every step on one page, one still picture each, in order, and back to
// one step at a time. Provides showAll and showOne. Uses the replay
// (replay.js), placesOf (layout.js), pictureText and escapeText
// (still.js), headingOf (steps.js), pause (player.js), $ and go (main.js).
"use strict";

// A long run is cut, but never before this many steps; after them, once
// the pictures hold this many nodes in all.
const ALL_STEPS_MIN = 500;
const ALL_NODES_MAX = 150000;

function showAll(page) {
  pause(page);
  const steps = page.cursor.steps;
  const tree = newTree();
  const parts = [];
  let nodes = 0, k = 0;
  for (; k < steps.length && (k < ALL_STEPS_MIN || nodes < ALL_NODES_MAX); k++) {
    const step = steps[k];
    apply(tree, step);
    const heading = headingOf(step, page.values);
    parts.push(`<section class="step"><h2>${escapeText(heading)}</h2>` +
               pictureText(placesOf(tree, step, page.geometry, false), heading) +
               "</section>");
    nodes += tree.nodes.length;
  }
  $("allNote").textContent = k < steps.length ?
    `The first ${k} of ${steps.length} steps; the rest one at a time, ` +
    `from #step=${k + 1}.` : `All ${k} steps.`;
  $("pictures").innerHTML = parts.join("");
  $("one").hidden = true;
  $("all").hidden = false;
}

function showOne(page, k) {
  $("all").hidden = true;
  $("pictures").innerHTML = "";
  $("one").hidden = false;
  go(page, k);
}
