// The run at a glance: after each insertion, the tree's height, the least a
// binary tree of as many nodes can have, the height the same values would give
// in a tree that never rotates, and the rotations the insertion made; and the
// chart of them as SVG text.

import {svgNS} from "../../common/page/dom.js";
import {goesRight} from "./port.js";
import {apply, newTree} from "./replay.js";
import {endsInsertion, isLookup, makesNode} from "./steps.js";

/* The numbers of a run, step by step: a replay of it, the rows of its
   insertions so far, and the depth each node would have in a tree that
   never rotates. That tree hangs each value below the deeper of its two
   neighbours in the in-order listing, which rotations keep: so its depths
   come from the replay itself. */

// The least height of a binary tree of n nodes: the least h with
// 2^h - 1 >= n, in integers, as rotadraw works it out.
export function leastHeight(n) {
  let h = 0;
  while (2 ** h - 1 < n)
    h++;
  return h;
}

export function newStats() {
  return {tree: newTree(), at: -1, insertions: [], plainDepth: [], plainHeight: 0};
}

// How many nodes of the replayed tree are out of balance: their two
// subtrees' heights apart by more than 1.
export function outOfBalance(tree) {
  let n = 0;
  const stack = tree.root ? [tree.root] : [];
  const h = (t) => (t ? t.height : 0);
  while (stack.length) {
    const t = stack.pop();
    if (Math.abs(h(t.left) - h(t.right)) > 1)
      n++;
    for (const c of [t.left, t.right])
      if (c)
        stack.push(c);
  }
  return n;
}

// Adds the run's next step to its numbers.
export function addStep(stats, step) {
  const k = ++stats.at;
  if (isLookup(step))
    return;
  if (makesNode(step)) {
    let before = null, after = null;
    for (let p = stats.tree.root; p;)
      if (goesRight(p, step.value)) {
        before = p;
        p = p.right;
      } else {
        after = p;
        p = p.left;
      }
    const depth = 1 + Math.max(before ? stats.plainDepth[before.number] : 0,
                               after ? stats.plainDepth[after.number] : 0);
    stats.plainDepth[step.node] = depth;
    stats.plainHeight = Math.max(stats.plainHeight, depth);
    stats.insertions[step.node] = {rotations: 0, heightKept: 0};
  }
  const kept = apply(stats.tree, step);
  const row = stats.insertions[step.node];
  row.rotations += step.turns.length;
  row.heightKept += kept;
  if (endsInsertion(step)) {
    row.last = k;
    row.height = stats.tree.root.height;
    row.least = leastHeight(step.node + 1);
    row.plain = stats.plainHeight;
  }
}

export function runStats(steps) {
  const stats = newStats();
  for (const step of steps)
    addStep(stats, step);
  return stats;
}

// The numbers of the run up to the end of its insertion of node m, whose
// tree, at step k, is `tree`: to go on from there with other steps.
export function statsAt(stats, m, k, tree) {
  return {tree, at: k, insertions: stats.insertions.slice(0, m + 1),
          plainDepth: stats.plainDepth.slice(0, m + 1),
          plainHeight: m >= 0 ? stats.insertions[m].plain : 0};
}

function largest(insertions, key) {
  let m = 1;
  for (const r of insertions)
    m = Math.max(m, r[key]);
  return m;
}

// Lines of heights above, bars of rotations below, each line with a dash
// of its own, named in the legend above them: laid out for the width it
// is shown at, so that its text stays as large as the page's.
// The chart's layout, in the picture's own units: its width, the room left
// of the lines for the axis' words (less on a narrow screen), the height of
// the lines, a legend entry's room and row, and the gap and the bars below.
const CHART = {
  widest: 900, narrowest: 280, narrow: 500, right: 14,
  left: 60, narrowLeft: 52, lines: 190, narrowLines: 140,
  legendEntry: 165, legendRow: 20, legendTop: 13, sampleLength: 30, sampleGap: 6,
  axisGap: 6, axisTitle: 44, belowBars: 16, bottom: 26,
  gap: 20, bars: 50,
};
const LEGEND = [["height", "height"], ["least", "least possible"],
                ["plain", "without rotations"], ["bars", "rotations"]];

export function chartSizeFor(shown) {
  const width = Math.max(CHART.narrowest, Math.min(CHART.widest, Math.round(shown)));
  const narrow = width < CHART.narrow;
  const left = narrow ? CHART.narrowLeft : CHART.left;
  const perRow = Math.max(1, Math.floor((width - left) / CHART.legendEntry));
  const top = CHART.legendTop + 1 + Math.ceil(LEGEND.length / perRow) * CHART.legendRow;
  const lines = narrow ? CHART.narrowLines : CHART.lines;
  const {gap, bars, right} = CHART;
  return {width, height: top + lines + gap + bars + CHART.bottom, left, right, top,
          lines, gap, bars, perRow};
}

export function chartX(i, n, size) {
  const {width, left, right} = size;
  return left + (n > 1 ? (i * (width - left - right)) / (n - 1) : 0);
}

// More insertions than this are drawn a bucket of them a point: the most
// of each, so that no peak is lost.
const CHART_POINTS_MAX = 1600;

function bucketed(insertions) {
  const n = insertions.length;
  if (n <= CHART_POINTS_MAX)
    return {points: insertions, at: (i) => i};
  const points = [];
  const per = n / CHART_POINTS_MAX;
  for (let b = 0; b < CHART_POINTS_MAX; b++) {
    const bucket = {height: 0, least: 0, plain: 0, rotations: 0};
    for (let i = Math.floor(b * per); i < Math.floor((b + 1) * per); i++)
      for (const key in bucket)
        bucket[key] = Math.max(bucket[key], insertions[i][key]);
    points.push(bucket);
  }
  return {points, at: (b) => Math.min(n - 1, Math.round((b + 0.5) * per))};
}

// The height axis's scale: a tree that never rotates may stand far taller,
// and then heights go on a scale of powers of two, so that the low lines
// stay apart.
function heightScale(insertions, size) {
  const {top, lines} = size;
  const plainMost = largest(insertions, "plain");
  const log = plainMost > 3 * largest(insertions, "height");
  const scale = log ? (v) => Math.log2(Math.max(1, v)) / Math.log2(plainMost)
                    : (v) => v / plainMost;
  const ticks = [];
  for (let v = 1; v <= plainMost; v = log ? v * 2 : v + Math.ceil(plainMost / 6))
    ticks.push(v);
  return {log, ticks, y: (v) => top + lines - scale(v) * lines};
}

function chartAxes(n, size, heights, maxTurns) {
  const {width, left, right, top, lines, gap, bars} = size;
  const {log, ticks, y} = heights;
  const barTop = top + lines + gap;
  const tx = left - CHART.axisGap, title = left - CHART.axisTitle;
  const turned = (x, y0, text) =>
    `<text class="axis title" x="${x}" y="${y0}" transform="rotate(-90 ${x} ${y0})">${text}</text>`;
  return ticks.map((v) => `<line class="grid" x1="${left}" x2="${width - right}" ` +
                          `y1="${y(v)}" y2="${y(v)}"/>` +
                          `<text class="axis" x="${tx}" y="${y(v)}" text-anchor="end">${v}</text>`)
    .join("") +
    turned(title, top + lines / 2, `height${log ? " (log scale)" : ""}`) +
    `<text class="axis" x="${tx}" y="${barTop}" text-anchor="end">${maxTurns}</text>` +
    `<text class="axis" x="${tx}" y="${barTop + bars}" text-anchor="end">0</text>` +
    turned(title, barTop + bars / 2, "rotations") +
    `<text class="axis" x="${left}" y="${barTop + bars + CHART.belowBars}">insertion 1</text>` +
    `<text class="axis" x="${width - right}" y="${barTop + bars + CHART.belowBars}" ` +
    `text-anchor="end">${n}</text>`;
}

function chartLegend(size) {
  const {left, perRow} = size;
  return LEGEND.map(([key, name], i) => {
    const x0 = left + (i % perRow) * CHART.legendEntry;
    const y0 = CHART.legendTop + Math.floor(i / perRow) * CHART.legendRow;
    const sample = key === "bars" ?
      `<rect class="bars" x="${x0}" y="${y0 - 7}" width="10" height="14"/>` :
      `<line class="line ${key}" x1="${x0}" x2="${x0 + CHART.sampleLength}" y1="${y0}" y2="${y0}"/>`;
    const text = x0 + CHART.sampleLength + CHART.sampleGap;
    return sample + `<text class="label" x="${text}" y="${y0}">${name}</text>`;
  }).join("");
}

// The lines of the heights, and the bars of the rotations.
function chartMarks(insertions, size, heights, maxTurns) {
  const {width, left, right, top, lines, gap, bars} = size;
  const n = insertions.length;
  const {points, at} = bucketed(insertions);
  const x = (i) => chartX(at(i), n, size);
  const line = (key) => `<polyline class="line ${key}" points="` +
    points.map((r, i) => `${x(i).toFixed(1)},${heights.y(r[key]).toFixed(1)}`).join(" ") +
    '"/>';
  const barTop = top + lines + gap;
  const barWidth = Math.max(1, (width - left - right) / Math.max(1, points.length) - 1);
  const bar = points.map((r, i) => r.rotations ?
    `M${(x(i) - barWidth / 2).toFixed(1)},${barTop + bars}` +
    `v${(-r.rotations * bars / maxTurns).toFixed(1)}h${barWidth.toFixed(1)}V${barTop + bars}z` : "");
  return `<path class="bars" d="${bar.join("")}"/>` +
    line("plain") + line("least") + line("height");
}

export function chartText(insertions, size) {
  const {width, height, top, lines, gap, bars} = size;
  const heights = heightScale(insertions, size);
  const maxTurns = largest(insertions, "rotations");
  return `<svg class="chart" xmlns="${svgNS}" viewBox="0 0 ${width} ${height}" ` +
    `role="img" aria-label="Heights and rotations after each insertion">` +
    `<rect class="back" x="0" y="0" width="${width}" height="${height}"/>` +
    chartAxes(insertions.length, size, heights, maxTurns) +
    chartMarks(insertions, size, heights, maxTurns) + chartLegend(size) +
    `<line class="marker" y1="${top}" y2="${top + lines + gap + bars}"/></svg>`;
}
