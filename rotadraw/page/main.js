// The page's start: the run rotadraw recorded, read from the page, shown at
// the step the address names, with every control listening.

import {runStats} from "./chart.js";
import {addressedStep, followAddress, setHeights, startControls} from "./controls.js";
import {go} from "./cursor.js";
import {$} from "./dom.js";
import {listenToChart} from "./glance.js";
import {newPicture} from "./picture.js";
import {startPractising} from "./practise.js";
import {newMarks, newTree} from "./replay.js";
import {setSteps} from "./showrun.js";
import {readRecord} from "./steps.js";
import {startTrying} from "./try.js";
import {startWhy} from "./why.js";

// Heights are shown at first for a tree small enough to read them.
const HEIGHTS_NODES_MAX = 64;

function startPage() {
  const record = readRecord($("run").textContent);
  const page = {
    record,
    cursor: {steps: [], at: -1, tree: newTree(), marks: newMarks()},
    live: newPicture($("picture"), 0),
    codeLines: startWhy(),
    reducedMotion: matchMedia("(prefers-reduced-motion: reduce)"),
    timer: null,
    scale: null, // the picture's size, times its full size, or null: fitted
  };
  // On a touch screen, keys are no help.
  if (matchMedia("(pointer: coarse)").matches)
    document.querySelector("footer details").open = false;
  startControls(page);
  listenToChart(page, (k) => go(page, k));
  startTrying(page);
  const stats = runStats(record.steps);
  setHeights(page, stats.insertions.length <= HEIGHTS_NODES_MAX);
  startPractising(page);
  // Showing a step names it in the address, which may ask for another view.
  const hash = location.hash;
  $("one").hidden = hash === "#all" || hash.startsWith("#practise");
  setSteps(page, record.steps, addressedStep(), record.failure, stats);
  if ($("one").hidden) {
    history.replaceState(null, "", hash);
    followAddress(page);
  }
  document.documentElement.dataset.drawnMs = Math.round(performance.now());
}


startPage();
