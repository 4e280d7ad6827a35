// Playing through a page's places one after another, at the speed chosen,
// until the last, or until paused. A player is {timer, at(), last(),
// go(k)}: where it stands, its last place, and the move to place k. The
// page has a #play button, and says where it stops in #said, from #heading.

import {$} from "./dom.js";
import {stepMs} from "./speed.js";

export function play(player) {
  if (player.at() >= player.last())
    player.go(0);
  // Two heavy bars: U+23F8 has no glyph in Debian's default fonts.
  $("play").innerHTML = '<span aria-hidden="true">\u275A\u275A</span> Pause';
  const tick = () => {
    player.go(player.at() + 1);
    if (player.at() >= player.last())
      pause(player);
    else
      player.timer = setTimeout(tick, stepMs());
  };
  player.timer = setTimeout(tick, stepMs());
}

// While it plays, the place isn't announced; where it stops, it is.
export function pause(player) {
  const playing = player.timer !== null;
  clearTimeout(player.timer);
  player.timer = null;
  $("play").innerHTML = '<span aria-hidden="true">\u25B6</span> Play';
  if (playing)
    $("said").textContent = $("heading").textContent.replace(/^== /, "");
}

export function playing(player) {
  return player.timer !== null;
}
