// Showing a run of steps: the run's numbers, its chart, its picture's
// geometry, and the step to start from.

import {$} from "../../common/page/dom.js";
import {pause} from "../../common/page/player.js";
import {runStats} from "./chart.js";
import {go, setCursor} from "./cursor.js";
import {drawChart} from "./glance.js";
import {geometryOf} from "./layout.js";
import {clearPicture} from "./picture.js";
import {nodeValues} from "./steps.js";

// Says why the answers of the run shown fell short, if they did.
function noteFailure(failure) {
  $("failure").textContent = failure === null ? "" :
    `The answers fell short (${failure}); every step before that is here.`;
  $("failure").hidden = failure === null;
}

// Shows a run of other steps, from step k; `failure` says why its answers
// fell short, or is null. Its numbers are made, unless they are given, and
// their tree becomes the cursor's.
export function setSteps(page, steps, k, failure, stats = runStats(steps)) {
  pause(page.player);
  page.failure = failure;
  noteFailure(failure);
  page.geometry = geometryOf(steps);
  clearPicture(page.live, page.geometry.r);
  page.stats = stats;
  setCursor(page, steps, stats.at, stats.tree);
  page.values = nodeValues(steps);
  drawChart(page);
  $("differs").hidden = steps === page.record.steps;
  $("recorded").disabled = steps === page.record.steps;
  go(page, k, true);
}

