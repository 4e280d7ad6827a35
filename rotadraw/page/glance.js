// The run at a glance in the page: the chart of the run shown, its summary,
// the step shown marked on it, and a click on it going to that insertion (by
// `goTo`, since going to a step marks the chart).

import {$} from "../../common/page/dom.js";
import {chartSizeFor, chartText, chartX, outOfBalance} from "./chart.js";
import {isLookup} from "./steps.js";

function counted(n, what) {
  return `${n} ${what}${n === 1 ? "" : "s"}`;
}

export function drawChart(page) {
  const start = performance.now();
  const insertions = page.stats.insertions;
  page.chartSize = chartSizeFor($("chart").clientWidth || 900);
  $("chart").innerHTML = chartText(insertions, page.chartSize);
  const last = insertions[insertions.length - 1];
  const rotations = insertions.reduce((sum, r) => sum + r.rotations, 0);
  const kept = insertions.reduce((sum, r) => sum + r.heightKept, 0);
  $("summary").textContent = last ?
    `${counted(insertions.length, "value")}, ${counted(rotations, "rotation")}` +
    (kept ? ` (${kept} left the subtree's height as it was)` : "") + "; " +
    `the tree after the last: height ${last.height} (least possible ` +
    `${last.least}; without rotations ${last.plain}), ` +
    `${counted(outOfBalance(page.stats.tree), "node")} out of balance.` : "No values.";
  $("numbersTable").replaceChildren();
  if ($("numbers").open)
    fillNumbers(page);
  document.documentElement.dataset.chartMs = Math.round(performance.now() - start);
}

// The chart's numbers as a table, made when it is first opened.
function fillNumbers(page) {
  if ($("numbersTable").rows.length)
    return;
  const rows = page.stats.insertions.map((r, i) =>
    `<tr><td>${i + 1}</td><td>${page.values[i]}</td><td>${r.height}</td>` +
    `<td>${r.least}</td><td>${r.plain}</td><td>${r.rotations}</td></tr>`);
  $("numbersTable").innerHTML = "<thead><tr><th>insertion</th><th>value</th>" +
    "<th>height</th><th>least possible</th><th>without rotations</th>" +
    `<th>rotations</th></tr></thead><tbody>${rows.join("")}</tbody>`;
}

export function markChart(page) {
  const marker = $("chart").querySelector(".marker");
  const n = page.stats.insertions.length;
  const step = page.cursor.steps[page.cursor.at];
  const x = !step ? -10 : chartX(isLookup(step) ? n - 1 : step.node, n, page.chartSize);
  marker.setAttribute("x1", x);
  marker.setAttribute("x2", x);
}

export function listenToChart(page, goTo) {
  $("chart").addEventListener("click", (e) => {
    const chart = $("chart").querySelector("svg");
    const n = page.stats.insertions.length;
    if (!chart || n === 0)
      return;
    const point = new DOMPoint(e.clientX, e.clientY)
      .matrixTransform(chart.getScreenCTM().inverse());
    const {width, left, right} = page.chartSize;
    const i = Math.round(((point.x - left) * (n - 1)) / (width - left - right));
    goTo(page.stats.insertions[Math.max(0, Math.min(n - 1, i))].last);
  });
  $("numbers").addEventListener("toggle", () => {
    if ($("numbers").open)
      fillNumbers(page);
  });
}
