// Playing the steps one after another, at the speed chosen, until the last
// step, or until paused.

import {go} from "./cursor.js";
import {$} from "./dom.js";
import {stepMs} from "./speed.js";

export function play(page) {
  if (page.cursor.at >= page.cursor.steps.length - 1)
    go(page, 0);
  $("play").innerHTML = '<span aria-hidden="true">\u23F8</span> Pause';
  const tick = () => {
    go(page, page.cursor.at + 1);
    if (page.cursor.at >= page.cursor.steps.length - 1)
      pause(page);
    else
      page.timer = setTimeout(tick, stepMs());
  };
  page.timer = setTimeout(tick, stepMs());
}

// While it plays, the step isn't announced; where it stops, it is.
export function pause(page) {
  const playing = page.timer !== null;
  clearTimeout(page.timer);
  page.timer = null;
  $("play").innerHTML = '<span aria-hidden="true">\u25B6</span> Play';
  if (playing)
    $("said").textContent = $("heading").textContent.replace(/^== /, "");
}
