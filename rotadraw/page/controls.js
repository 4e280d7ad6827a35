// The controls: buttons, keys, the slider, heights, the zoom, and the address,
// which names the step shown.

import {addressed} from "../../common/page/address.js";
import {$} from "../../common/page/dom.js";
import {listenToKeys} from "../../common/page/keys.js";
import {pause, play, playing} from "../../common/page/player.js";
import {whenPrinted} from "../../common/page/printing.js";
import {largeText} from "../../common/page/projector.js";
import {changeSpeed} from "../../common/page/speed.js";
import {keepingMiddle, nextZoom, panWhenDragged} from "../../common/page/zoom.js";
import {showAll, showOne} from "./all.js";
import {focusBox, go, show} from "./cursor.js";
import {drawChart, markChart} from "./glance.js";
import {READABLE, zoomOf} from "./layout.js";
import {frameOverview, listenToOverview} from "./overview.js";
import {drawView, measure} from "./picture.js";
import {practise} from "./practise.js";
import {saveAnswers, saveSvg} from "./save.js";
import {turnsOf} from "./steps.js";

// The nearest step from k that turns, going by +1 or -1; k if none.
function turnFrom(steps, k, by) {
  for (let j = k + by; j >= 0 && j < steps.length; j += by)
    if (turnsOf(steps[j]).length)
      return j;
  return k;
}

export function setHeights(page, on) {
  $("heights").checked = on;
  page.live.svg.classList.toggle("hide-heights", !on);
  if (page.cursor.at >= 0)
    show(page, false);
}

// Draws the picture `scale` times its full size, or fitted to the window
// (null), with what stood in the middle of the view kept there.
function setScale(page, scale) {
  const box = $("picture");
  const redraw = () => {
    page.scale = scale;
    $("full").checked = scale === 1;
    if (page.cursor.at >= 0)
      show(page, false);
  };
  // What the step is about (where it turns, first) stays where it is on
  // the screen; without it, what stood in the middle of the view.
  const turning = page.cursor.at >= 0 && focusBox(page, true) !== null;
  const was = page.cursor.at >= 0 ? focusBox(page, turning) : null;
  if (!was)
    return keepingMiddle(box, redraw);
  const onScreen = {x: was.x - box.scrollLeft, y: was.y - box.scrollTop};
  redraw();
  const now = focusBox(page, turning);
  if (now)
    box.scrollTo({left: now.x - onScreen.x, top: now.y - onScreen.y, behavior: "auto"});
}

// The size at which the whole tree fits the picture's box.
function fitOf(page) {
  return zoomOf(page.geometry, page.cursor.tree.nodes.length, measure(page.live).width).across;
}

// Zooms in (by 1) or out (by -1) from the size shown; out past the window's
// width is fitted to it, the whole tree, however small its labels.
function zoomBy(page, by) {
  const fit = fitOf(page), next = nextZoom(page.live.picture?.scale ?? fit, fit, by);
  setScale(page, next === null && fit < READABLE ? fit : next);
}

// Printed, the picture is fitted to the paper at any zoom: drawn whole for
// the printing, and as it was after.
function fitForPrinting(page) {
  let was;
  const before = () => {
    if (was !== undefined || page.cursor.at < 0)
      return;
    was = page.scale;
    page.scale = fitOf(page);
    show(page, false);
  };
  const after = () => {
    if (was === undefined)
      return;
    page.scale = was;
    was = undefined;
    show(page, false);
  };
  whenPrinted(before, after);
}

// Another view, or a step, as the address asks. One that can't be read (a
// % not followed by two hexadecimal digits, say) is said, and the first
// step is shown.
// The most values an address may bring: a run made at once, as the page
// opens.
const SHARED_MOST = 5000;

export function followAddress(page) {
  const shared = /^#run=(-?\d+(?:,-?\d+)*)?(?:\/(-?\d+))?&step=(\d+)$/.exec(location.hash);
  if (shared) {
    const values = shared[1] ? shared[1].split(",").map(Number) : [];
    const lookup = shared[2] === undefined ? null : Number(shared[2]);
    if (values.length <= SHARED_MOST && [...values, lookup ?? 0].every((v) =>
      v >= -2147483648 && v <= 2147483647)) {
      $("addressNote").hidden = true;
      page.openRun(values, lookup, Math.max(0, Number(shared[3]) - 1));
      return;
    }
  }
  if (shared || location.hash.startsWith("#run=")) {
    $("addressNote").textContent = `The address holds a run this page can't make ` +
      `(more than ${SHARED_MOST.toLocaleString("en")} values, or one past 32 bits, or ` +
      "not written as the page writes it): the recorded run is shown instead.";
    $("addressNote").hidden = false;
    showOne(page, 0);
    return;
  }
  const seed = /^#practise(-turns)?(?:=(.*))?$/.exec(location.hash);
  let text = null;
  try {
    text = seed?.[2] === undefined ? null : decodeURIComponent(seed[2]);
  } catch {
    $("addressNote").textContent = `The address ends in ${location.hash}, which is ` +
      "not a seed this page can read (a % must begin %XX): the run is shown instead.";
    $("addressNote").hidden = false;
    showOne(page, 0);
    return;
  }
  $("addressNote").hidden = true;
  if (seed)
    practise(page, text, seed[1] !== undefined);
  else if (location.hash === "#all" || location.hash === "#all=turns")
    showAll(page, location.hash === "#all=turns");
  else
    showOne(page, addressed("step"));
}

// What the buttons and keys do to the steps.
function stepActions(page) {
  return {
    first: () => go(page, 0),
    prev: () => go(page, page.cursor.at - 1),
    next: () => go(page, page.cursor.at + 1),
    last: () => go(page, page.cursor.steps.length - 1),
    prevTurn: () => go(page, turnFrom(page.cursor.steps, page.cursor.at, -1)),
    nextTurn: () => go(page, turnFrom(page.cursor.steps, page.cursor.at, 1)),
    play: () => (playing(page.player) ? pause(page.player) : play(page.player)),
    saveSvg: () => saveSvg(page),
    saveAnswers: () => saveAnswers(page),
  };
}

function listenToButtons(page, actions) {
  for (const [id, act] of Object.entries(actions))
    $(id).addEventListener("click", act);
  $("slider").addEventListener("input", () => go(page, Number($("slider").value) - 1));
  $("heights").addEventListener("change", () => setHeights(page, $("heights").checked));
  $("full").addEventListener("change", () => setScale(page, $("full").checked ? 1 : null));
  largeText($("large"), () => {
    if (page.cursor.at >= 0)
      show(page, false);
  });
  $("zoomIn").addEventListener("click", () => zoomBy(page, 1));
  $("zoomOut").addEventListener("click", () => zoomBy(page, -1));
  panWhenDragged($("picture"));
}

function startKeys(page, actions) {
  const keys = {
    ArrowLeft: actions.prev, ArrowRight: actions.next,
    Home: actions.first, End: actions.last,
    "[": actions.prevTurn, "]": actions.nextTurn, " ": actions.play,
    "+": () => changeSpeed(1), "=": () => changeSpeed(1), "-": () => changeSpeed(-1),
    h: () => setHeights(page, !$("heights").checked),
    f: () => setScale(page, $("full").checked ? null : 1),
    t: () => $("large").click(),
    u: () => $("undoButton").click(),
    s: actions.saveSvg,
  };
  listenToKeys(keys, () => !$("one").hidden, (by) => zoomBy(page, by));
}

// The address, the window's size, and a wide picture's scrolling.
function listenToWindow(page) {
  addEventListener("hashchange", () => followAddress(page));
  addEventListener("resize", () => {
    if (page.scale === null && page.cursor.at >= 0)
      show(page, false);
    drawChart(page);
    markChart(page);
  });
  // A wide picture draws what scrolls into view, once a frame at most.
  let scrolled = null;
  $("picture").addEventListener("scroll", () => {
    scrolled ??= requestAnimationFrame(() => {
      scrolled = null;
      if (page.live.picture) {
        measure(page.live);
        drawView(page.live, 0);
        frameOverview(page.live);
      }
    });
  });
}

export function startControls(page) {
  const actions = stepActions(page);
  listenToButtons(page, actions);
  startKeys(page, actions);
  listenToWindow(page);
  listenToOverview(page.live);
  fitForPrinting(page);
}
