// The cursor: the step shown, the tree as it stands at that step, and the
// marks the step makes. Only this file moves it; the others go to a step
// through it.

import {nameInAddress} from "../../common/page/address.js";
import {$} from "../../common/page/dom.js";
import {playing} from "../../common/page/player.js";
import {stepMs} from "../../common/page/speed.js";
import {runOf} from "./answers.js";
import {treeWords} from "./explain.js";
import {markChart} from "./glance.js";
import {READABLE, placesOf, zoomOf} from "./layout.js";
import {lookOf} from "./look.js";
import {drawOverview} from "./overview.js";
import {drawPicture, measure} from "./picture.js";
import {apply, newMarks, undo} from "./replay.js";
import {headingOf, isLookup, makesNode, turnsOf} from "./steps.js";
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

// The nodes the step is about, which the view follows: the new node, the
// node a rotation turns and the one that rises, the end of the lookup's way;
// with `turning`, only the nodes it turns, or with "first", the first.
function focusOf(page, turning) {
  const {steps, at, tree, marks} = page.cursor;
  const step = steps[at];
  if (!step)
    return [];
  const numbers = isLookup(step) ? step.way.slice(-1) :
    turning === "first" ? [...marks.pivots].slice(0, 1) : turning ? [...marks.pivots] :
    [...(makesNode(step) ? [step.node] : []), ...marks.pivots, ...marks.risers];
  return numbers.map((n) => tree.nodes[n]).filter(Boolean);
}

// Where the step's nodes (or only the nodes it turns) stand in the picture
// box, in its scrolled coordinates: their middle, and the box round them;
// or null.
export function focusBox(page, turning = false) {
  const nodes = new Set(focusOf(page, turning));
  const places = page.live.picture?.places.filter((p) => nodes.has(p.node)) ?? [];
  if (!places.length)
    return null;
  const box = $("picture"), svg = page.live.svg;
  const dx = svg.getBoundingClientRect().left - box.getBoundingClientRect().left +
    box.scrollLeft;
  const dy = svg.getBoundingClientRect().top - box.getBoundingClientRect().top +
    box.scrollTop;
  const room = (page.live.picture.r + 12) * page.live.picture.scale;
  const xs = places.map((p) => p.x + dx), ys = places.map((p) => p.y + dy);
  const left = Math.min(...xs) - room, right = Math.max(...xs) + room;
  const top = Math.min(...ys) - room, bottom = Math.max(...ys) + room;
  return {left, right, top, bottom, x: (left + right) / 2, y: (top + bottom) / 2};
}

// A picture larger than its box is scrolled, gliding unless the reader
// asked for less motion, to bring what the step is about into view; what
// the reader dragged stays until the next step.
function follow(page, glide) {
  const box = $("picture");
  let f = box.scrollWidth > box.clientWidth || box.scrollHeight > box.clientHeight ?
    focusBox(page) : null;
  if (!f)
    return;
  // Too far apart to show together: where it turns, or where it first
  // turns.
  const tooWide = (g) => g.right - g.left > box.clientWidth || g.bottom - g.top > box.clientHeight;
  if (tooWide(f))
    f = focusBox(page, true) ?? f;
  if (tooWide(f))
    f = focusBox(page, "first") ?? f;
  const inView = f.left >= box.scrollLeft && f.right <= box.scrollLeft + box.clientWidth &&
    f.top >= box.scrollTop && f.bottom <= box.scrollTop + box.clientHeight;
  if (inView)
    return;
  box.scrollTo({left: f.x - box.clientWidth / 2, top: f.y - box.clientHeight / 2,
                behavior: glide && !page.reducedMotion.matches ? "smooth" : "auto"});
}

// Draws the step the tree is in. Neighbouring steps glide, unless the
// reader asked for less motion.
export function show(page, glide) {
  const {steps, at, tree, marks} = page.cursor;
  const step = steps[at];
  const checks = checksAt(page);
  // Unless a size was asked for, the picture is fitted to its box while its
  // labels stay readable, and past that shown at the least readable size,
  // following the action.
  const width = measure(page.live).width;
  // Large text draws a tree that fits half as large again, its values and
  // heights with it, as far as the box's height allows: the picture and the
  // step buttons stay in the first screen.
  let most = 1;
  if (document.body.classList.contains("large")) {
    const {margin, dy} = page.geometry;
    const tall = parseFloat(getComputedStyle($("picture")).maxHeight) || Infinity;
    const rows = tree.root ? tree.root.height : 1;
    most = Math.max(1, Math.min(1.5, tall / (2 * margin + Math.max(1, rows * dy - 30))));
  }
  const fit = zoomOf(page.geometry, tree.nodes.length, width, undefined, most).across;
  const scale = page.scale ?? (fit < READABLE ? READABLE : undefined);
  const zoom = zoomOf(page.geometry, tree.nodes.length, width, scale, most);
  $("picture").className = scale === undefined ? "fit" : "zoomed";
  $("zoomShown").textContent = scale === undefined ? "fitted" :
    page.scale !== null && page.scale <= fit * 1.01 ? "whole tree" : `${Math.round(scale * 100)}%`;
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
  follow(page, glide);
  drawOverview(page.live);
  if (!playing(page.player))
    $("said").textContent = heading.replace(/^== /, "");
}

// Names step k in the address; for a run other than the recorded one, a
// run made on the page, its values and lookup too, so that the address
// brings back the same tree at the same step: #run=50,30,70/40&step=9.
function nameStep(page, k) {
  const steps = page.cursor.steps;
  // A run of no steps has no place to name.
  if (steps === page.record.steps || k < 0)
    return nameInAddress("step", k);
  const {values, lookup} = runOf(steps);
  history.replaceState(null, "", `#run=${values.join(",")}` +
                       (lookup !== null ? `/${lookup}` : "") + `&step=${k + 1}`);
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
  nameStep(page, k);
  markChart(page);
}

