// The controls: buttons, keys, the slider, heights and full size, and the
// address, which names the step shown. Provides startControls, setHeights,
// addressedStep and followAddress. Uses the player (player.js), showAll and showOne
// (all.js), saveSvg and saveAnswers (save.js), turnsOf (steps.js), $, go
// and show (main.js).
"use strict";

// The nearest step from k that turns, going by +1 or -1; k if none.
function turnFrom(steps, k, by) {
  for (let j = k + by; j >= 0 && j < steps.length; j += by)
    if (turnsOf(steps[j]).length)
      return j;
  return k;
}

function setHeights(page, on) {
  $("heights").checked = on;
  page.live.svg.classList.toggle("hide-heights", !on);
  if (page.cursor.at >= 0)
    show(page, false);
}

function setFull(page, on) {
  $("full").checked = on;
  $("picture").className = on ? "full" : "fit";
  if (page.cursor.at >= 0)
    show(page, false);
}

// The step the address names (#step=N), or the first.
function addressedStep() {
  const m = /^#step=(\d+)$/.exec(location.hash);
  return m ? Number(m[1]) - 1 : 0;
}

function followAddress(page) {
  const seed = /^#practise(?:=(.+))?$/.exec(location.hash);
  if (seed)
    practise(page, seed[1] === undefined ? null : decodeURIComponent(seed[1]));
  else if (location.hash === "#all")
    showAll(page);
  else
    showOne(page, addressedStep());
}

function startControls(page) {
  const c = page.cursor;
  const actions = {
    first: () => go(page, 0),
    prev: () => go(page, c.at - 1),
    next: () => go(page, c.at + 1),
    last: () => go(page, c.steps.length - 1),
    prevTurn: () => go(page, turnFrom(c.steps, c.at, -1)),
    nextTurn: () => go(page, turnFrom(c.steps, c.at, 1)),
    play: () => (page.timer === null ? play(page) : pause(page)),
    saveSvg: () => saveSvg(page),
    saveAnswers: () => saveAnswers(page),
  };
  for (const [id, act] of Object.entries(actions))
    $(id).addEventListener("click", act);
  $("slider").addEventListener("input", () => go(page, Number($("slider").value) - 1));
  $("heights").addEventListener("change", () => setHeights(page, $("heights").checked));
  $("full").addEventListener("change", () => setFull(page, $("full").checked));

  const keys = {
    ArrowLeft: actions.prev, ArrowRight: actions.next,
    Home: actions.first, End: actions.last,
    "[": actions.prevTurn, "]": actions.nextTurn, " ": actions.play,
    "+": () => changeSpeed(1), "=": () => changeSpeed(1), "-": () => changeSpeed(-1),
    h: () => setHeights(page, !$("heights").checked),
    f: () => setFull(page, !$("full").checked),
    s: actions.saveSvg,
  };
  document.addEventListener("keydown", (e) => {
    const t = e.target;
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
  addEventListener("hashchange", () => followAddress(page));
  addEventListener("resize", () => {
    if (!$("full").checked && c.at >= 0)
      show(page, false);
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
