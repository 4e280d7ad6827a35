// Playing the steps one after another, at the speed chosen. Provides
// stepMs, play, pause and changeSpeed. Uses $ and go (main.js).
"use strict";

// A step's time at 1x.
const STEP_MS = 900;

function stepMs() {
  return STEP_MS / Number($("speed").value);
}

function play(page) {
  if (page.cursor.at >= page.cursor.steps.length - 1)
    go(page, 0);
  $("play").innerHTML = '<span aria-hidden="true">\u23F8</span> Pause';
  const tick = () => {
    go(page, page.cursor.at + 1);
    if (page.timer !== null)
      page.timer = setTimeout(tick, stepMs());
  };
  page.timer = setTimeout(tick, stepMs());
}

// While it plays, the step isn't announced; where it stops, it is.
function pause(page) {
  const playing = page.timer !== null;
  clearTimeout(page.timer);
  page.timer = null;
  $("play").innerHTML = '<span aria-hidden="true">\u25B6</span> Play';
  if (playing)
    $("said").textContent = $("heading").textContent.replace(/^== /, "");
}

function changeSpeed(by) {
  const s = $("speed");
  s.selectedIndex = Math.max(0, Math.min(s.options.length - 1, s.selectedIndex + by));
}
