// The timeline: a row a process, a column an event, the column of the
// event shown marked; a wait and a zombie's life are bars. Only what is in
// view is drawn, so that a run of thousands of events scrolls freely.
// Clicking a column goes to its event. To scale, the time between two
// events widens the gap between their columns; a gap too long for the
// page is cut short and marked with how long it was.

import {$, svgElement} from "../../common/page/dom.js";

const CW = 14, RH = 20, LABEL = 64, HEAD = 18;
const MARKS = {fork: "F", exec: "E", execfail: "X", write: "W", signal: "S",
               thread: "T", joined: "J", pipe: "|", fd: "=", writeinto: "w",
               readfrom: "r", unfollowed: "=", blocked: ".", exit: "#", reaped: "R", adopted: "A", running: ">"};

// The widest a gap is drawn to scale, in columns.
const CUT = 24;

let shape = null; // rows, spans and marks, worked out once
let lefts = null, widths = null, cuts = []; // each column's edge and width, gaps cut short
let scaled = null;

function duration(us) {
  return us >= 1e6 ? `${(us / 1e6).toPrecision(3)} s` : us >= 1000 ?
    `${(us / 1000).toPrecision(3)} ms` : `${Math.round(us)} \u00b5s`;
}

// A signal's column is as wide as its name (SIGINT as INT), in the
// marks' monospace of about 7.3 pixels a letter.
function widthOf(ev) {
  return ev.kind === "signal" ? Math.max(CW, 7.3 * signalName(ev).length + 4) : CW;
}

function signalName(ev) {
  return (ev.f[0] ?? "").replace(/^SIG/, "") || "S";
}

// Where each column starts, and how wide it is: a column an event, or, to
// scale, the run's time spread over about three columns an event.
export function placeColumns(events, toScale) {
  const n = events.length, at = new Float64Array(n + 1), width = new Float64Array(n), cut = [];
  const total = n > 1 ? events[n - 1].us - events[0].us : 0;
  const perUs = total > 0 ? 3 * n * CW / total : 0;
  let x = LABEL;
  for (let c = 0; c < n; c++) {
    if (toScale && c > 0) {
      const gap = Math.max(0, events[c].us - events[c - 1].us) * perUs;
      if (gap > CUT * CW) {
        cut.push({x, width: CUT * CW, us: events[c].us - events[c - 1].us});
        x += CUT * CW;
      } else {
        x += gap;
      }
    }
    at[c] = x;
    width[c] = widthOf(events[c]);
    x += width[c];
  }
  at[n] = x;
  return {at, width, cut};
}

function columns(run) {
  const toScale = $("toScale")?.checked ?? false;
  if (scaled !== toScale) {
    ({at: lefts, width: widths, cut: cuts} = placeColumns(run.events, toScale));
    scaled = toScale;
  }
}

// The column at x in the picture, or -1 left of the first.
function columnOf(x) {
  let lo = 0, hi = lefts.length - 1;
  if (x < lefts[0])
    return -1;
  while (lo < hi - 1) {
    const mid = (lo + hi) >> 1;
    if (lefts[mid] <= x)
      lo = mid;
    else
      hi = mid;
  }
  return lo;
}

function work(run) {
  const order = [], stack = [run.root];
  while (stack.length) {
    const i = stack.pop();
    order.push(i);
    stack.push(...[...run.procs[i].children].reverse());
  }
  const row = new Map(order.map((i, r) => [i, r]));
  const spans = [], marks = [];
  const open = new Map();
  const commandEnd = run.command >= 0 ? run.procs[run.command].ended : -1;
  run.events.forEach((ev, e) => {
    const i = run.procOf[e], r = row.get(i);
    // A poll (WNOHANG) returns at once: a mark of its own, not a sleep.
    const polls = ev.kind === "wait" && ev.f[1] === "nohang";
    if (ev.kind === "wait" && !polls)
      open.set(i, e);
    if (ev.kind === "waited" && open.has(i)) {
      spans.push({r, from: open.get(i), to: e, kind: "wait"});
      open.delete(i);
    }
    if (polls)
      marks.push({r, c: e, text: "?", title: "a poll for a child's end, returning at once"});
    else if (ev.kind === "signal")
      marks.push({r, c: e, text: signalName(ev), title: ev.f[0] + (ev.f[1] ? ` from ${ev.f[1]}` : ""),
                  faint: ev.f[0] === "SIGCHLD"});
    else if (MARKS[ev.kind])
      marks.push({r, c: e, text: MARKS[ev.kind]});
    if (ev.kind === "fork") {
      const child = run.procs[i].children.find((k) => run.procs[k].born === e);
      if (child !== undefined)
        marks.push({r: row.get(child), c: e, text: "+"});
    }
  });
  run.procs.forEach((p, i) => {
    const from = p.born < 0 ? 0 : p.born;
    const to = p.reaped >= 0 ? p.reaped : run.events.length - 1;
    spans.push({r: row.get(i), from, to, kind: "life"});
    if (p.ended >= 0 && p.zombie)
      spans.push({r: row.get(i), from: p.ended, to, kind: "zombie"});
    // Still running when the command ended: left in the background.
    if (commandEnd >= 0 && i !== run.root && i !== run.command && p.born < commandEnd &&
        (p.ended < 0 || p.ended > commandEnd))
      marks.push({r: row.get(i), c: commandEnd, text: "&",
                  title: "left running in the background as the command ended"});
  });
  return {order, row, spans, marks, rows: order.length};
}

// Draws what of the timeline is in view, event k marked.
export function drawTimeline(run, k) {
  shape ??= work(run);
  columns(run);
  const box = $("timebox"), svg = $("timeline");
  const n = run.events.length;
  svg.setAttribute("width", lefts[n]);
  svg.setAttribute("height", HEAD + shape.rows * RH);
  const r0 = Math.max(0, Math.floor((box.scrollTop - HEAD) / RH) - 1);
  svg.replaceChildren(drawPart(run, k, {
    left: box.scrollLeft, top: box.scrollTop, right: box.scrollLeft + box.clientWidth,
    c0: Math.max(0, columnOf(box.scrollLeft) - 2),
    c1: Math.min(n, Math.max(0, columnOf(box.scrollLeft + box.clientWidth)) + 4),
    r0, r1: Math.min(shape.rows, r0 + Math.ceil(box.clientHeight / RH) + 2)}));
}

// The whole timeline for the paper, in blocks as wide as `width`, each a
// picture of its own fitted to the page; at most `most` of them.
export function timelineBlocks(run, k, width, most) {
  shape ??= work(run);
  columns(run);
  const blocks = [], n = run.events.length, height = HEAD + shape.rows * RH;
  for (let c0 = 0; c0 < n && blocks.length < most;) {
    let c1 = c0 + 1;
    while (c1 < n && lefts[c1 + 1] - lefts[c0] <= width - LABEL)
      c1++;
    const left = lefts[c0] - LABEL, right = lefts[c1];
    const svg = svgElement("svg", {width: right - left, height,
                                   viewBox: `${left} 0 ${right - left} ${height}`,
                                   role: "img", class: "timeline",
                                   "aria-label": `Timeline, events ${c0 + 1} to ${c1}`});
    svg.append(drawPart(run, k, {left, top: 0, right, c0, c1, r0: 0, r1: shape.rows}));
    svg.dataset.to = c1;
    blocks.push(svg);
    c0 = c1;
  }
  return blocks;
}

// Columns c0 to c1 and rows r0 to r1 of the timeline, the labels at the
// left edge of what is seen, its top holding the numbers.
function drawPart(run, k, {left, top, right, c0, c1, r0, r1}) {
  const height = HEAD + shape.rows * RH;
  const g = svgElement("g", {});
  const x = (c) => lefts[c], y = (r) => HEAD + r * RH;
  svgElement("rect", {x: x(k), y: 0, width: widths[k], height, class: "now"}, g);
  for (const cut of cuts)
    if (cut.x + cut.width >= left && cut.x <= right) {
      const mark = svgElement("g", {class: "cut"}, g);
      svgElement("rect", {x: cut.x, y: 0, width: cut.width, height}, mark);
      svgElement("text", {x: cut.x + cut.width / 2, y: 12 + top, "text-anchor": "middle"},
                 mark).textContent = `\u2248 ${duration(cut.us)}`;
      svgElement("title", {}, mark).textContent =
        `${duration(cut.us)} with no event, drawn shorter than to scale`;
    }
  for (const s of shape.spans)
    if (s.r >= r0 && s.r < r1 && s.to >= c0 && s.from < c1) {
      const a = Math.max(s.from, c0), b = Math.min(s.to, c1);
      const inset = s.kind === "life" ? 9 : s.kind === "wait" ? 5 : 3;
      const from = x(a) + (a === s.from ? widths[a] / 2 : 0);
      svgElement("rect", {x: from, y: y(s.r) + inset,
                  width: Math.max(1, x(b) - from + (b === s.to ? widths[b] / 2 : 0)),
                  height: RH - 2 * inset, class: `span ${s.kind}`}, g);
    }
  const faintShown = $("showChld")?.checked ?? true;
  for (const m of shape.marks)
    if (m.r >= r0 && m.r < r1 && m.c >= c0 && m.c < c1 && (faintShown || !m.faint)) {
      const t = svgElement("text", {x: x(m.c) + widths[m.c] / 2, y: y(m.r) + 14,
                                    class: m.faint ? "mark faint" : "mark", "text-anchor": "middle"}, g);
      t.textContent = m.text;
      if (m.title)
        svgElement("title", {}, t).textContent = m.title;
    }
  for (let c = c0; c < c1; c++)
    if ((c + 1) % 10 === 0 || c === k)
      svgElement("text", {x: x(c) + widths[c] / 2, y: 12 + top, class: "number",
                  "text-anchor": "middle"}, g).textContent = String(c + 1);
  const labels = svgElement("g", {class: "labels"}, g);
  svgElement("rect", {x: left, y: 0, width: LABEL, height, class: "labelBack"}, labels);
  for (let r = r0; r < r1; r++)
    svgElement("text", {x: left + LABEL - 6, y: y(r) + 14, "text-anchor": "end",
                class: "label"}, labels).textContent = String(run.procs[shape.order[r]].pid);
  return g;
}

// Scrolls event k, and the row of its process, into view.
export function showColumn(run, k) {
  shape ??= work(run);
  columns(run);
  const box = $("timebox"), left = lefts[k];
  if (left < box.scrollLeft + LABEL || left + widths[k] > box.scrollLeft + box.clientWidth)
    box.scrollLeft = Math.max(0, left - box.clientWidth / 2);
  const r = shape.row.get(run.procOf[k]) ?? -1, top = HEAD + r * RH;
  if (r >= 0 && (top < box.scrollTop + HEAD || top + RH > box.scrollTop + box.clientHeight))
    box.scrollTop = Math.max(0, top - box.clientHeight / 2);
}

// The event of a click at clientX, or -1.
export function columnAt(clientX) {
  const box = $("timebox");
  const x = clientX - box.getBoundingClientRect().left + box.scrollLeft;
  const c = columnOf(x);
  return c >= 0 && x < lefts[c] + widths[c] ? c : -1;
}
