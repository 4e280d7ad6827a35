// The page's start: the run rotadraw recorded, read from the page, shown at
// the step the address names, with every control listening.

import {addressed} from "../../common/page/address.js";
import {$} from "../../common/page/dom.js";
import {runStats} from "./chart.js";
import {followAddress, setHeights, startControls} from "./controls.js";
import {go} from "./cursor.js";
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
  // The page's state: each field is written only by the module named.
  const page = {
    // The run rotadraw recorded: {steps, failure}. Never written again.
    record,
    // The steps shown, the step shown, its tree and its marks (cursor.js).
    cursor: {steps: [], at: -1, tree: newTree(), marks: newMarks()},
    // The run shown: why its answers fell short, or null; its picture's
    // geometry, its numbers and its values by node (showrun.js).
    failure: null,
    geometry: null,
    stats: null,
    values: [],
    // The one live picture of the step shown (picture.js, through its
    // functions).
    live: newPicture($("picture"), 0),
    // The lines of the code panel, by what they do. Never written again.
    codeLines: startWhy(),
    // Whether the reader asked for less motion. Never written again.
    reducedMotion: matchMedia("(prefers-reduced-motion: reduce)"),
    // Playing through the steps: its timer, or null (player.js).
    player: null,
    // The picture's size, times its full size, or null: fitted
    // (controls.js).
    scale: null,
    // The chart's layout at the window's width (glance.js).
    chartSize: null,
    // The checks of the insertion shown, kept while its steps are shown
    // (why.js).
    checks: null,
    // What draws every step's picture as it comes into view (all.js).
    allSeen: null,
    // Practice: its exercise, tree and picture (practise.js).
    practice: null,
  };
  page.player = {timer: null, at: () => page.cursor.at,
                 last: () => page.cursor.steps.length - 1, go: (k) => go(page, k)};
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
  $("one").hidden = hash.startsWith("#all") || hash.startsWith("#practise");
  setSteps(page, record.steps, addressed("step"), record.failure, stats);
  if ($("one").hidden || hash.startsWith("#run=")) {
    history.replaceState(null, "", hash);
    followAddress(page);
  }
  document.documentElement.dataset.drawnMs = Math.round(performance.now());
}


startPage();
