// The speed that the steps play at, and glide at.

import {$} from "./dom.js";

// A step's time at 1x.
const STEP_MS = 900;

export function stepMs() {
  return STEP_MS / Number($("speed").value);
}

export function changeSpeed(by) {
  const s = $("speed");
  s.selectedIndex = Math.max(0, Math.min(s.options.length - 1, s.selectedIndex + by));
}
