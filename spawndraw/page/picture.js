// The tree of processes at an event: a node for each process made so far,
// with its pid and its program, under the process that made it, even once
// an orphan: then a dashed line comes to it from the one that adopted it.
// Nodes glide to their places, unless motion is reduced. An ended process
// whose parent wasn't waiting for it is a zombie, drawn dashed, until
// collected; collected, it fades. The nodes the event touches are ringed
// and marked with a diamond. Past OUTLINE processes, nodes are dots.

import {$, svgElement} from "../../common/page/dom.js";

const W = 118, H = 44, GAP_X = 14, GAP_Y = 34, OUTLINE = 4000;

// Places nodes: leaves one after another, a parent over its children.
function layout(roots, kids) {
  const place = new Map();
  let next = 0, depth = 0;
  const stack = roots.map((r) => ({node: r, d: 0, done: false})).reverse();
  while (stack.length) {
    const item = stack.pop();
    const children = kids.get(item.node) ?? [];
    depth = Math.max(depth, item.d);
    if (item.done || children.length === 0) {
      const x = children.length === 0 ? next++ :
        (place.get(children[0]).x + place.get(children[children.length - 1]).x) / 2;
      place.set(item.node, {x, y: item.d});
      continue;
    }
    stack.push({...item, done: true});
    for (let c = children.length - 1; c >= 0; c--)
      stack.push({node: children[c], d: item.d + 1, done: false});
  }
  return {place, width: next, depth: depth + 1};
}

const nodes = new Map(); // a process's index, or "pid 1", -> its <g>

// Draws the tree at event k, from the states of stateAt, the processes in
// `marked` ringed.
export function drawTree(run, states, marked, k = -1) {
  const svg = $("tree");
  const outline = run.procs.length > OUTLINE;
  const byPid = new Map();
  run.procs.forEach((p, i) => {
    if (states[i].made && !states[i].gone)
      byPid.set(p.pid, i);
  });
  const kids = new Map(), roots = [], adoptions = [];
  const add = (parent, child) => {
    if (!kids.has(parent))
      kids.set(parent, []);
    kids.get(parent).push(child);
  };
  run.procs.forEach((p, i) => {
    if (!states[i].made)
      return;
    const by = states[i].adoptedBy;
    if (by) {
      // An adopter the run doesn't follow (init) stands apart, at the top.
      const adopter = byPid.get(by) ?? `pid ${by}`;
      if (typeof adopter === "string" && !roots.includes(adopter))
        roots.push(adopter);
      adoptions.push([adopter, i]);
    }
    if (p.parent >= 0)
      add(p.parent, i);
    else
      roots.unshift(i);
  });
  const {place, width, depth} = layout(roots, kids);
  const w = outline ? 8 : W + GAP_X, h = outline ? 16 : H + GAP_Y;
  // Large text draws the tree half as large again, for the back of a room.
  const scale = !outline && document.body.classList.contains("large") ? 1.5 : 1;
  // Room at the right for a pipe bowing out of a parent and its child.
  run.pipeRoom ??= run.events.some((ev) => ev.kind === "pipe") ? 70 : 0;
  const wide = Math.max(1, width) * w + 20 + (outline ? 0 : run.pipeRoom);
  svg.setAttribute("width", wide * scale);
  // Room beneath the last row for its descriptors and pipes.
  const tall = depth * h + (outline ? 10 : 44);
  svg.setAttribute("height", tall * scale);
  svg.setAttribute("viewBox", `0 0 ${wide} ${tall}`);
  const edges = svg.querySelector(".edges") ?? svgElement("g", {class: "edges"}, svg);
  const seen = new Set();
  const at = (n) => {
    const p = place.get(n);
    return {x: 10 + p.x * w, y: 5 + p.y * h};
  };
  // The edges change only when a process is made or adopted.
  const shape = [...kids].map(([p, c]) => `${p}:${c.join()}`).join(" ") + " " +
    adoptions.map(([a, c]) => `${a}>${c}`).join(" ");
  if (edges.dataset.shape !== shape) {
    edges.dataset.shape = shape;
    edges.replaceChildren();
    for (const [parent, children] of kids)
      for (const c of children) {
        const a = at(parent), b = at(c);
        svgElement("line", {x1: a.x + (outline ? 2 : W / 2), y1: a.y + (outline ? 2 : H),
                    x2: b.x + (outline ? 2 : W / 2), y2: b.y, class: "edge"}, edges);
      }
    for (const [adopter, c] of adoptions) {
      const a = at(adopter), b = at(c);
      svgElement("line", {x1: a.x + (outline ? 2 : W / 2), y1: a.y + (outline ? 2 : H),
                  x2: b.x + (outline ? 2 : W * 3 / 4), y2: b.y, class: "edge adopted"}, edges);
    }
  }
  let focus = null;
  for (const n of place.keys()) {
    seen.add(n);
    let g = nodes.get(n);
    const fresh = !g;
    if (fresh) {
      g = svgElement("g", {}, svg);
      nodes.set(n, g);
      if (typeof n === "number")
        g.dataset.proc = n;
    }
    const {x, y} = at(n);
    g.style.transform = `translate(${x}px, ${y}px)`;
    if (marked.includes(n))
      focus ??= {x, y};
    // A node is drawn again only when it changes.
    const s = states[n] ?? {};
    const key = `${s.program} ${s.gone} ${s.ended} ${s.waiting} ${s.running} ${marked.includes(n)} ` +
      `${s.fds?.join("|")}`;
    if (g.dataset.key === key)
      continue;
    const renamed = !fresh && typeof n === "number" && g.dataset.program !== s.program;
    g.dataset.key = key;
    g.dataset.program = s.program;
    g.replaceChildren();
    if (typeof n === "string") {
      g.setAttribute("class", "node outside");
      svgElement("rect", {width: outline ? 4 : W, height: outline ? 4 : H, rx: 6}, g);
      if (!outline)
        label(g, n.slice(4), n === "pid 1" ? "init" : "subreaper", "");
      continue;
    }
    const p = run.procs[n];
    // Ended, it is a zombie only where its parent wasn't waiting for it.
    const state = s.gone ? "gone" : s.ended ? (p.zombie ? "zombie" : "ended") :
      s.waiting ? "waiting" :
      s.running ? "running" : "";
    g.setAttribute("class", `node ${state}${marked.includes(n) ? " marked" : ""}`);
    if (outline) {
      svgElement("circle", {cx: 2, cy: 2, r: marked.includes(n) ? 4 : 2}, g);
      continue;
    }
    svgElement("rect", {width: W, height: H, rx: 6}, g);
    label(g, `${marked.includes(n) ? "\u25C6 " : ""}${p.pid}`, s.program, state);
    // Its descriptor table, where the run changed it, beneath it.
    const table = fdsText(s);
    if (table && !s.gone)
      svgElement("text", {x: 2, y: H + 12, class: "fds"}, g).textContent = table;
    // A new program comes in with a glide.
    if (renamed)
      g.querySelector(".program").classList.add("renamed");
  }
  for (const [n, g] of nodes)
    if (!seen.has(n)) {
      g.remove();
      nodes.delete(n);
    }
  if (svg.firstChild !== edges)
    svg.prepend(edges);
  if (!outline)
    drawPipes(run, states, svg, (i) => place.has(i) && at(i), k);
  return focus;
}

// "0←pipe 1 1→out.txt 3←pipe 2": each end read from points in.
function fdsText(s) {
  return (s.fds ?? []).map((where, fd) => (where ?
    `${fd}${readsFrom(s, fd) ? "\u2190" : "\u2192"}${where}` : "")).filter(Boolean).join(" ");
}

function readsFrom(s, fd) {
  return fd === 0 || !!s.reads?.[fd];
}

// Each pipe in use at the event: a link from each process that holds it
// as its standard output or error to each that holds it as its input, lit
// where the event moves bytes through it. Its title names its ends.
function drawPipes(run, states, svg, at, k) {
  const ends = new Map();
  run.procs.forEach((p, i) => {
    const s = states[i];
    if (!s.made || s.gone || !s.fds)
      return;
    s.fds.forEach((where, fd) => {
      if (!/^pipe /.test(where))
        return;
      if (!ends.has(where))
        ends.set(where, {writers: [], readers: []});
      ends.get(where)[readsFrom(s, fd) ? "readers" : "writers"].push({i, fd});
    });
  });
  const ev = run.events[k];
  const moving = ev && (ev.kind === "writeinto" || ev.kind === "readfrom") ? ev.f[1] : "";
  const g = svg.querySelector(".pipes") ?? svgElement("g", {class: "pipes"}, svg);
  g.replaceChildren();
  for (const [name, {writers, readers}] of ends) {
    const who = (list) => list.map(({i, fd}) =>
      `${run.procs[i].pid} (${states[i].program}) as descriptor ${fd}`).join(", ");
    const words = `${name}: written by ${who(writers) || "no process shown"}; read by ` +
      `${who(readers) || "no process shown"}`;
    for (const w of writers)
      for (const r of readers) {
        const a = at(w.i), b = at(r.i);
        if (!a || !b || w.i === r.i)
          continue;
        const link = svgElement("g", {class: `pipe${name === moving ? " flowing" : ""}`,
                                      tabindex: 0, role: "button", "aria-label": words}, g);
        link.dataset.words = words;
        if (Math.abs(a.x - b.x) < W) {
          // One above the other, a parent and its child: out of the right
          // side of each, bowing right, clear of the line between them.
          const x = Math.max(a.x, b.x) + W, y1 = a.y + H / 2, y2 = b.y + H / 2;
          svgElement("path", {d: `M${x},${y1} C${x + 44},${y1} ${x + 44},${y2} ${x},${y2}`},
                     link);
          svgElement("text", {x: x + 36, y: (y1 + y2) / 2 + 4}, link).textContent =
            `${name} ${y2 > y1 ? "\u2193" : "\u2191"}`;
        } else {
          // Beneath the two, under their descriptors, curving down.
          const x1 = a.x + W / 2, y1 = a.y + H + 16, x2 = b.x + W / 2, y2 = b.y + H + 16;
          svgElement("path", {d: `M${x1},${y1} C${x1},${y1 + 22} ${x2},${y2 + 22} ${x2},${y2}`},
                     link);
          svgElement("text", {x: (x1 + x2) / 2, y: Math.max(y1, y2) + 28,
                              "text-anchor": "middle"}, link).textContent = `${name} \u2192`;
        }
        svgElement("title", {}, link).textContent = words;
      }
  }
}

// Brings the point at (x, y) of the picture into its box's view.
export function follow(point) {
  const box = $("picture"), svg = $("tree");
  if (!point)
    return;
  const k = svg.width.baseVal.value / (svg.viewBox.baseVal?.width || svg.width.baseVal.value);
  const x = point.x * k, y = point.y * k, w = W * k, h = H * k;
  if (x < box.scrollLeft || x + w > box.scrollLeft + box.clientWidth)
    box.scrollLeft = x + w / 2 - box.clientWidth / 2;
  if (y < box.scrollTop || y + h > box.scrollTop + box.clientHeight)
    box.scrollTop = y + h / 2 - box.clientHeight / 2;
}

function label(g, first, second, state) {
  const t = svgElement("text", {x: 8, y: 17, class: "pid"}, g);
  t.textContent = first;
  const u = svgElement("text", {x: 8, y: 35, class: "program"}, g);
  u.textContent = second.length > 15 ? second.slice(0, 14) + "\u2026" : second;
  if (state) {
    const v = svgElement("text", {x: W - 8, y: 17, class: "state", "text-anchor": "end"}, g);
    v.textContent = state;
  }
}

// Marks the node of process i, and its lines, as the one pointed at.
export function point(i, on) {
  nodes.get(i)?.classList.toggle("pointed", on);
  for (const line of document.querySelectorAll(`#lines li[data-proc="${i}"]`))
    line.classList.toggle("pointed", on);
}

// The picture in words, for a screen reader.
export function describeTree(run, states) {
  const parts = [];
  run.procs.forEach((p, i) => {
    const s = states[i];
    if (!s.made || parts.length > 60)
      return;
    const parent = s.adoptedBy ? `adopted by ${s.adoptedBy}` :
      p.parent >= 0 ? `child of ${run.procs[p.parent].pid}` : "spawndraw itself";
    const state = s.gone ? ", collected" : s.ended ? (p.zombie ? ", a zombie" : ", ended") :
      s.waiting ? ", waiting" : "";
    const table = fdsText(s);
    parts.push(`${p.pid} ${s.program}, ${parent}${state}${table && !s.gone ? `, ${table}` : ""}`);
  });
  return `${parts.length} processes: ${parts.join("; ")}.`;
}
