// Every step on one page, one still picture each, in order, and back to one
// step at a time. A picture is drawn as it comes near the window, from a
// replay of its own, so that a long run costs only what is looked at.

import {$} from "../../common/page/dom.js";
import {pause} from "../../common/page/player.js";
import {go} from "./cursor.js";
import {FULL_SIZE, pictureSize, placesOf} from "./layout.js";
import {lookOf} from "./look.js";
import {checkLines, insertionChecks, wayLines} from "./explain.js";
import {goesRight} from "./port.js";
import {apply, attach, copyTree, newMarks, newTree, undo} from "./replay.js";
import {moduleTree} from "./runs.js";
import {headingOf, isLookup, makesNode, turnsOf} from "./steps.js";
import {escapeText, pictureText} from "./still.js";

// A long run is cut after this many steps; the rest one at a time.
const ALL_STEPS_MAX = 5000;
// How far from the window a picture is drawn before it is scrolled to.
const ALL_NEAR = "1500px";
// Draws the pictures of every step shown that are not drawn yet.
let drawRest = null;
addEventListener("beforeprint", () => drawRest?.());

// Every step, or with `turns` only the steps that turn, each with what its
// balancing did in words; the steps that turn with the heights as well.
export function showAll(page, turns = false) {
  pause(page.player);
  const steps = page.cursor.steps;
  const shown = [];
  for (let k = 0; k < steps.length && shown.length < ALL_STEPS_MAX; k++)
    if (!turns || turnsOf(steps[k]).length)
      shown.push(k);
  const parts = [];
  for (const k of shown) {
    // Room for the picture before it is drawn: as wide as it will be, and
    // as tall as the tree after its insertion.
    const step = steps[k];
    const row = page.stats.insertions[isLookup(step) ? page.stats.insertions.length - 1 : step.node];
    const nodes = isLookup(step) ? page.stats.insertions.length : step.node + 1;
    const {width, height} = pictureSize(page.geometry, nodes, row && row.height ? row.height : 1);
    parts.push(`<section class="step"><h2>${escapeText(headingOf(step, page.values))}</h2>` +
               `<div class="still" data-step="${k}" style="width: ${width}px; ` +
               `height: ${height}px"></div><ul class="words"></ul></section>`);
  }
  const count = shown.length;
  const all = turns ? steps.filter((s) => turnsOf(s).length).length : steps.length;
  const what = turns ? "steps that turn" : "steps";
  $("allNote").textContent = count < all ?
    `The first ${count} of ${all} ${what}; the rest one at a time, ` +
    `from #step=${shown[count - 1] + 2}.` : `All ${count} ${what}.`;
  $("pictures").innerHTML = parts.join("");
  $("one").hidden = true;
  $("practise").hidden = true;
  $("all").hidden = false;
  // The legend goes with the pictures, and the way back to the step shown.
  $("allLegend").append($("legend"));
  $("stepByStep").href = `#step=${Math.max(1, page.cursor.at + 1)}`;
  history.replaceState(null, "", turns ? "#all=turns" : "#all");
  drawWhenNear(page, steps, turns);
}

// One of a turn's pair, captioned; printed, never narrower than keeps its
// values at 8 pt (two thirds of their full size), where the sheet allows.
function figure(caption, places, label) {
  return `<figure style="--least: ${Math.ceil(places.width * 2 / 3)}px">` +
    `<figcaption>${caption}</figcaption>${pictureText(places, label)}</figure>`;
}

// The subtree that the step's level balances in tree: the one below the
// insertion's way down, that many links from the root.
function balancedIn(tree, step) {
  let n = tree.root;
  for (let i = 0; n && i < step.levels - step.level; i++)
    n = goesRight(n, step.value) ? n.right : n.left;
  return n;
}

function drawWhenNear(page, steps, heights) {
  const replay = {tree: newTree(), at: -1};
  let kept = null; // the checks of the insertion last drawn
  const draw = (box) => {
    const k = Number(box.dataset.step);
    const step = steps[k];
    while (replay.at >= k)
      undo(replay.tree, steps[replay.at--]);
    while (replay.at < k - 1)
      apply(replay.tree, steps[++replay.at]);
    // The checks of the insertion, worked out from its tree before it.
    let checks = null;
    if (!isLookup(step) && step.levels > 0) {
      if (kept?.node !== step.node) {
        const before = copyTree(replay.tree);
        for (let j = k - 1; j >= 0 && steps[j].node === step.node; j--)
          undo(before, steps[j]);
        kept = {node: step.node,
                levels: insertionChecks(moduleTree(before), step.value).levels};
      }
      checks = kept.levels[step.level - 1] ?? [];
    }
    // A handout of the turns: the subtree the level balanced, as the
    // balancing found it and as it left it, side by side, so that a turn
    // near the top of a big tree still prints at a size that can be read.
    const heading = headingOf(step, page.values);
    let before = null;
    if (heights && !isLookup(step) && step.levels > 0) {
      const tree = copyTree(replay.tree);
      if (makesNode(step))
        attach(tree, step.node, step.value);
      const places = placesOf({root: balancedIn(tree, step)}, page.geometry, FULL_SIZE,
                              lookOf(step, newMarks(), true, checks));
      before = figure("before", places, `before: ${heading}`);
    }
    const marks = newMarks();
    apply(replay.tree, steps[++replay.at], marks);
    const look = lookOf(step, marks, heights, checks);
    box.innerHTML = before === null ?
      pictureText(placesOf(replay.tree, page.geometry, FULL_SIZE, look), heading) :
      before + figure("after", placesOf({root: balancedIn(replay.tree, step)}, page.geometry,
                                         FULL_SIZE, look), `after: ${heading}`);
    box.classList.toggle("pair", before !== null);
    box.removeAttribute("style");
    const lines = isLookup(step) ? wayLines(step, page.values) : checks ? checkLines(checks) : [];
    box.nextElementSibling.replaceChildren(...lines.map((text) => {
      const li = document.createElement("li");
      li.textContent = text;
      return li;
    }));
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
  // Printed, every picture is drawn, not only those that came near.
  drawRest = () => {
    for (const box of $("pictures").querySelectorAll(".still[style]")) {
      page.allSeen.unobserve(box);
      draw(box);
    }
  };
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
