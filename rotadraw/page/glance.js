// The run at a glance in the page: the chart of the run shown, its summary,
// the step shown marked on it, and a click on it going to that insertion.
// Provides drawChart, markChart and listenToChart. Uses chartX, chartSize
// and chartText (chart.js), isLookup (steps.js), $ and go (main.js).
"use strict";

function drawChart(page) {
  const start = performance.now();
  const insertions = page.stats.insertions;
  $("chart").innerHTML = chartText(insertions);
  const last = insertions[insertions.length - 1];
  const rotations = insertions.reduce((sum, r) => sum + r.rotations, 0);
  $("summary").textContent = last ?
    `${insertions.length} values, ${rotations} rotations; the tree after the ` +
    `last: height ${last.height} (least possible ${last.least}; without ` +
    `rotations ${last.plain}).` : "No values.";
  document.documentElement.dataset.chartMs = Math.round(performance.now() - start);
}

function markChart(page) {
  const marker = $("chart").querySelector(".marker");
  const n = page.stats.insertions.length;
  const step = page.cursor.steps[page.cursor.at];
  const x = !step ? -10 : chartX(isLookup(step) ? n - 1 : step.node, n);
  marker.setAttribute("x1", x);
  marker.setAttribute("x2", x);
}

function listenToChart(page) {
  $("chart").addEventListener("click", (e) => {
    const chart = $("chart").querySelector("svg");
    const n = page.stats.insertions.length;
    if (!chart || n === 0)
      return;
    const point = new DOMPoint(e.clientX, e.clientY)
      .matrixTransform(chart.getScreenCTM().inverse());
    const {width, left, right} = chartSize;
    const i = Math.round(((point.x - left) * (n - 1)) / (width - left - right));
    go(page, page.stats.insertions[Math.max(0, Math.min(n - 1, i))].last);
  });
}
