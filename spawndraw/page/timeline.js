// The timeline: a row a process, a column an event, the column of the
// event shown marked; a wait and a zombie's life are bars. Only what is in
// view is drawn, so that a run of thousands of events scrolls freely.
// Clicking a column goes to its event.

import {$, svgElement} from "../../common/page/dom.js";

const CW = 14, RH = 20, LABEL = 64, HEAD = 18;
const MARKS = {fork: "F", exec: "E", execfail: "X", write: "W", signal: "S",
               thread: "T", joined: "J", pipe: "|", fd: "=", writeinto: "w",
               readfrom: "r", blocked: ".", exit: "#", reaped: "R", adopted: "A", running: ">"};

let shape = null; // rows, spans and marks, worked out once

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
      marks.push({r, c: e, text: "S", title: ev.f[0] + (ev.f[1] ? ` from ${ev.f[1]}` : ""),
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
  const box = $("timebox"), svg = $("timeline");
  const n = run.events.length;
  svg.setAttribute("width", LABEL + n * CW);
  svg.setAttribute("height", HEAD + shape.rows * RH);
  const c0 = Math.max(0, Math.floor((box.scrollLeft - LABEL) / CW) - 2);
  const c1 = Math.min(n, c0 + Math.ceil(box.clientWidth / CW) + 4);
  const r0 = Math.max(0, Math.floor((box.scrollTop - HEAD) / RH) - 1);
  const r1 = Math.min(shape.rows, r0 + Math.ceil(box.clientHeight / RH) + 2);
  const g = svgElement("g", {});
  const x = (c) => LABEL + c * CW, y = (r) => HEAD + r * RH;
  svgElement("rect", {x: x(k), y: 0, width: CW, height: HEAD + shape.rows * RH, class: "now"}, g);
  for (const s of shape.spans)
    if (s.r >= r0 && s.r < r1 && s.to >= c0 && s.from < c1) {
      const a = Math.max(s.from, c0), b = Math.min(s.to, c1);
      const inset = s.kind === "life" ? 9 : s.kind === "wait" ? 5 : 3;
      svgElement("rect", {x: x(a) + (a === s.from ? CW / 2 : 0), y: y(s.r) + inset,
                  width: Math.max(1, (b - a) * CW), height: RH - 2 * inset,
                  class: `span ${s.kind}`}, g);
    }
  const faintShown = $("showChld")?.checked ?? true;
  for (const m of shape.marks)
    if (m.r >= r0 && m.r < r1 && m.c >= c0 && m.c < c1 && (faintShown || !m.faint)) {
      const t = svgElement("text", {x: x(m.c) + CW / 2, y: y(m.r) + 14,
                                    class: m.faint ? "mark faint" : "mark", "text-anchor": "middle"}, g);
      t.textContent = m.text;
      if (m.title)
        svgElement("title", {}, t).textContent = m.title;
    }
  for (let c = c0; c < c1; c++)
    if ((c + 1) % 10 === 0 || c === k)
      svgElement("text", {x: x(c) + CW / 2, y: 12 + box.scrollTop, class: "number",
                  "text-anchor": "middle"}, g).textContent = String(c + 1);
  const labels = svgElement("g", {class: "labels"}, g);
  svgElement("rect", {x: box.scrollLeft, y: 0, width: LABEL, height: HEAD + shape.rows * RH,
              class: "labelBack"}, labels);
  for (let r = r0; r < r1; r++)
    svgElement("text", {x: box.scrollLeft + LABEL - 6, y: y(r) + 14, "text-anchor": "end",
                class: "label"}, labels).textContent = String(run.procs[shape.order[r]].pid);
  svg.replaceChildren(g);
}

// Scrolls event k, and the row of its process, into view.
export function showColumn(run, k) {
  shape ??= work(run);
  const box = $("timebox"), left = LABEL + k * CW;
  if (left < box.scrollLeft + LABEL || left + CW > box.scrollLeft + box.clientWidth)
    box.scrollLeft = Math.max(0, left - box.clientWidth / 2);
  const r = shape.row.get(run.procOf[k]) ?? -1, top = HEAD + r * RH;
  if (r >= 0 && (top < box.scrollTop + HEAD || top + RH > box.scrollTop + box.clientHeight))
    box.scrollTop = Math.max(0, top - box.clientHeight / 2);
}

// The event of a click at clientX, or -1.
export function columnAt(clientX) {
  const box = $("timebox");
  const c = Math.floor((clientX - box.getBoundingClientRect().left + box.scrollLeft - LABEL) / CW);
  return c >= 0 ? c : -1;
}
