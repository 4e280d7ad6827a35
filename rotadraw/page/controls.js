// The controls: buttons, keys, the slider, heights, the zoom, and the address,
// which names the step shown.

import {showAll, showOne} from "./all.js";
import {go, show} from "./cursor.js";
import {$} from "./dom.js";
import {drawChart, markChart} from "./glance.js";
import {zoomOf} from "./layout.js";
import {drawView, measure} from "./picture.js";
import {pause, play} from "./player.js";
import {practise} from "./practise.js";
import {saveAnswers, saveSvg} from "./save.js";
import {changeSpeed} from "./speed.js";
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

// The sizes a picture can be zoomed to, times its full size.
const ZOOMS = [0.05, 0.1, 0.25, 0.5, 0.75, 1, 1.5, 2, 3, 4];

// Draws the picture `scale` times its full size, or fitted to the window
// (null), with what stood in the middle of the view kept there.
function setScale(page, scale) {
  const box = $("picture");
  const middle = (box.scrollLeft + box.clientWidth / 2) / Math.max(1, box.scrollWidth);
  const down = (box.scrollTop + box.clientHeight / 2) / Math.max(1, box.scrollHeight);
  page.scale = scale;
  $("full").checked = scale === 1;
  box.className = scale === null ? "fit" : "zoomed";
  $("zoomShown").textContent = scale === null ? "fitted" : `${Math.round(scale * 100)}%`;
  if (page.cursor.at < 0)
    return;
  show(page, false);
  box.scrollLeft = middle * box.scrollWidth - box.clientWidth / 2;
  box.scrollTop = down * box.scrollHeight - box.clientHeight / 2;
}

// Zooms in (by 1) or out (by -1) from the size shown; out past the window's
// width is fitted to it.
function zoomBy(page, by) {
  const fit = zoomOf(page.geometry, page.cursor.tree.nodes.length,
                     measure(page.live).width).across;
  const now = page.scale ?? fit;
  const next = by > 0 ? ZOOMS.find((z) => z > now * 1.01) ?? ZOOMS[ZOOMS.length - 1] :
    [...ZOOMS].reverse().find((z) => z < now * 0.99);
  setScale(page, next === undefined || (by < 0 && next <= fit) ? null : next);
}

// A zoomed picture is moved about by dragging it with the mouse; a finger
// scrolls it anyway.
function panWhenDragged(box) {
  let from = null;
  box.addEventListener("pointerdown", (e) => {
    if (e.pointerType === "mouse" && box.scrollWidth + box.scrollHeight >
        box.clientWidth + box.clientHeight)
      from = {x: e.clientX, y: e.clientY};
  });
  addEventListener("pointermove", (e) => {
    if (!from)
      return;
    box.scrollBy(from.x - e.clientX, from.y - e.clientY);
    from = {x: e.clientX, y: e.clientY};
  });
  addEventListener("pointerup", () => {
    from = null;
  });
}

// The step the address names (#step=N), or the first.
export function addressedStep() {
  const m = /^#step=(\d+)$/.exec(location.hash);
  return m ? Number(m[1]) - 1 : 0;
}

// Another view, or a step, as the address asks. One that can't be read (a
// % not followed by two hexadecimal digits, say) is said, and the first
// step is shown.
export function followAddress(page) {
  const seed = /^#practise(?:=(.+))?$/.exec(location.hash);
  let text = null;
  try {
    text = seed?.[1] === undefined ? null : decodeURIComponent(seed[1]);
  } catch {
    $("addressNote").textContent = `The address ends in ${location.hash}, which is ` +
      "not a seed this page can read (a % must begin %XX): the run is shown instead.";
    $("addressNote").hidden = false;
    showOne(page, 0);
    return;
  }
  $("addressNote").hidden = true;
  if (seed)
    practise(page, text);
  else if (location.hash === "#all")
    showAll(page);
  else
    showOne(page, addressedStep());
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
    play: () => (page.timer === null ? play(page) : pause(page)),
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
  $("zoomIn").addEventListener("click", () => zoomBy(page, 1));
  $("zoomOut").addEventListener("click", () => zoomBy(page, -1));
  panWhenDragged($("picture"));
}

// The keys work wherever the focus is, but in a field, and but where a
// focused control takes the key itself.
function listenToKeys(page, actions) {
  const keys = {
    ArrowLeft: actions.prev, ArrowRight: actions.next,
    Home: actions.first, End: actions.last,
    "[": actions.prevTurn, "]": actions.nextTurn, " ": actions.play,
    "+": () => changeSpeed(1), "=": () => changeSpeed(1), "-": () => changeSpeed(-1),
    h: () => setHeights(page, !$("heights").checked),
    f: () => setScale(page, $("full").checked ? null : 1),
    s: actions.saveSvg,
  };
  document.addEventListener("keydown", (e) => {
    const t = e.target;
    const zoom = {Equal: 1, NumpadAdd: 1, Minus: -1, NumpadSubtract: -1}[e.code];
    if (e.altKey && zoom && !$("one").hidden) {
      e.preventDefault();
      zoomBy(page, zoom);
      return;
    }
    const field = t.matches("textarea, select, input:not([type=range]):not([type=checkbox])");
    // Space and Enter press or open the control that has focus; a slider
    // takes the arrows, Home and End.
    const own = t.matches("input[type=range]") ? /^(Arrow|Home|End)/.test(e.key) :
      t.matches("button, input[type=checkbox], a, summary") &&
      (e.key === " " || e.key === "Enter");
    if (field || own || e.ctrlKey || e.altKey || e.metaKey || !keys[e.key] ||
        $("one").hidden)
      return;
    e.preventDefault();
    keys[e.key]();
  });
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
      }
    });
  });
}

export function startControls(page) {
  const actions = stepActions(page);
  listenToButtons(page, actions);
  listenToKeys(page, actions);
  listenToWindow(page);
}
