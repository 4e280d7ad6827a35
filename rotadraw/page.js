// rotadraw's page: the run that rotadraw recorded, replayed step by step
// and drawn as one picture whose nodes glide from place to place.
"use strict";

/* ---- The recorded run ---------------------------------------------------
   Each line of the record is one insertion: "VALUE LEVELS", then for each
   rotation LEVEL, "l" or "r", NODE: at that level of the insertion's
   trace, counted from the deepest, the node numbered NODE turned left or
   right. Nodes are numbered as they are made, so the insertion on line k
   makes node k. "? VALUE FOUND NODE..." is the lookup and the nodes on its
   way down; "! WHY" says why the answers fell short.

   A step is what the text draws one picture of: the first value
   ({value, node, level: 0, levels: 0, turns}), one level of an insertion
   ({value, node, level, levels, turns}, each turn {node, right}), or the
   lookup ({lookup, found, way}). */

function readRecord(text) {
  const steps = [];
  let failure = null;
  let node = 0;
  for (const line of text.split("\n")) {
    const f = line.trim().split(/\s+/);
    if (f[0] === "")
      continue;
    if (f[0] === "!") {
      failure = line.trim().slice(2);
    } else if (f[0] === "?") {
      steps.push({lookup: Number(f[1]), found: f[2] === "1",
                  way: f.slice(3).map(Number)});
    } else {
      const turns = f.slice(2).map((t) => {
        const m = /^(\d+)([lr])(\d+)$/.exec(t);
        return {level: Number(m[1]), right: m[2] === "r", node: Number(m[3])};
      });
      steps.push(...insertionSteps(Number(f[0]), node++, Number(f[1]), turns));
    }
  }
  return {steps, failure};
}

function insertionSteps(value, node, levels, turns) {
  if (levels === 0)
    return [{value, node, level: 0, levels: 0, turns: []}];
  const steps = [];
  for (let level = 1; level <= levels; level++)
    steps.push({value, node, level, levels,
                turns: turns.filter((t) => t.level === level)});
  return steps;
}

/* ---- The tree module, in the page ----------------------------------------
   rotatree's own insertion, rebalancing and lookup, move for move: a
   reader's own values go in as rotatree would put them in. Nodes are
   {a, left, right, number}; a link is the object that holds a subtree and
   the name of its field. Heights are taken afresh, as the module takes
   them. A test keeps this equal to the module on thousands of runs. */

function height(top) {
  return top ? 1 + Math.max(height(top.left), height(top.right)) : 0;
}

function rotateRight(top, onRotate) {
  onRotate(top, true);
  const l = top.left;
  top.left = l.right;
  l.right = top;
  return l;
}

function rotateLeft(top, onRotate) {
  onRotate(top, false);
  const r = top.right;
  top.right = r.left;
  r.left = top;
  return r;
}

// The heights are taken once, before any rotation. A subtree that leans
// right rotates at most at its root and is not descended into; any other
// has both children of its (possibly new) root balanced in turn.
function balancer(top, onRotate) {
  if (!top)
    return null;
  const hLeft = height(top.left), hRight = height(top.right);
  if (hLeft > hRight && hRight + 1 < hLeft)
    top = rotateRight(top, onRotate);
  if (hLeft < hRight) {
    if (hLeft + 1 < hRight)
      top = rotateLeft(top, onRotate);
  } else {
    top.left = balancer(top.left, onRotate);
    top.right = balancer(top.right, onRotate);
  }
  return top;
}

// Each level rebalances on the way back up, the deepest first, and then
// traces.
function insert(a, holder, field, number, hooks) {
  const t = holder[field];
  const side = t.a < a ? "right" : "left";
  if (t[side])
    insert(a, t, side, number, hooks);
  else
    t[side] = {a, left: null, right: null, number};
  holder[field] = balancer(t, hooks.onRotate);
  hooks.onTrace();
}

function search(a, top) {
  while (top && top.a !== a)
    top = top.a < a ? top.right : top.left;
  return top;
}

// The steps of inserting a into the tree {root, count}, as rotadraw
// records them.
function insertSteps(tree, a) {
  const number = tree.count++;
  if (!tree.root) {
    tree.root = {a, left: null, right: null, number};
    return insertionSteps(a, number, 0, []);
  }
  const turns = [];
  let level = 0;
  insert(a, tree, "root", number, {
    onRotate: (top, right) => turns.push({level: level + 1, right, node: top.number}),
    onTrace: () => level++,
  });
  return insertionSteps(a, number, level, turns);
}

function lookupStep(tree, a) {
  const found = search(a, tree.root);
  const way = [];
  for (let t = tree.root; t; t = t === found ? null : t.a < a ? t.right : t.left)
    way.push(t.number);
  return {lookup: a, found: found !== null, way};
}

// Answers as rotatree and rotadraw read them: a count, that many values
// and one to look up, each as "%ld" reads a number, and refused beyond 32
// bits. The lookup may be left out. Returns the values read, the lookup or
// null, and why the answers fell short, as rotadraw says it, or null.
function readAnswers(text) {
  let at = 0;
  const read = (what) => {
    at += /^[ \t\n\v\f\r]*/.exec(text.slice(at))[0].length;
    if (at === text.length)
      return {why: `${what}: end of input`};
    const m = /^[+-]?[0-9]+/.exec(text.slice(at));
    if (!m)
      return {why: `${what}: not a number`};
    at += m[0].length;
    const v = Number(m[0]);
    if (v < -2147483648 || v > 2147483647)
      return {why: `${what}: out of range`};
    return {v};
  };
  const values = [];
  const count = read("number of elements");
  if (count.why)
    return {values, lookup: null, failure: count.why, counted: false};
  for (let i = 0; i < count.v; i++) {
    const a = read(`element ${i + 1}`);
    if (a.why)
      return {values, lookup: null, failure: a.why, counted: true};
    values.push(a.v);
  }
  const lookup = read("element to search");
  if (lookup.why && !lookup.why.endsWith("end of input"))
    return {values, lookup: null, failure: lookup.why, counted: true};
  return {values, lookup: lookup.why ? null : lookup.v, failure: null, counted: true};
}

// The steps of a whole run, from its answers.
function runSteps(values, lookup) {
  const tree = {root: null, count: 0};
  const steps = [];
  for (const a of values)
    steps.push(...insertSteps(tree, a));
  if (lookup !== null)
    steps.push(lookupStep(tree, lookup));
  return steps;
}

/* ---- The replay ----------------------------------------------------------
   The tree as the steps leave it: nodes {a, number, left, right, up}. A
   step is applied, or taken back, with the same moves: a new node hung
   where insert sends its value (right past a smaller value, left past any
   other), and single rotations. */

function newTree() {
  return {root: null, nodes: []};
}

function attach(tree, number, a) {
  const n = {a, number, left: null, right: null, up: null};
  let right = false;
  for (let p = tree.root; p; p = right ? p.right : p.left) {
    n.up = p;
    right = p.a < a;
  }
  if (!n.up)
    tree.root = n;
  else if (right)
    n.up.right = n;
  else
    n.up.left = n;
  tree.nodes[number] = n;
  return n;
}

function detach(tree, n) {
  if (!n.up)
    tree.root = null;
  else if (n.up.left === n)
    n.up.left = null;
  else
    n.up.right = null;
  tree.nodes.length = n.number;
}

// Turns x right (its left child rising) or left; returns the child that
// rose into its place.
function rotate(tree, x, right) {
  const r = right ? x.left : x.right;
  const crossing = right ? r.right : r.left;
  if (right) {
    x.left = crossing;
    r.right = x;
  } else {
    x.right = crossing;
    r.left = x;
  }
  if (crossing)
    crossing.up = x;
  r.up = x.up;
  x.up = r;
  if (!r.up)
    tree.root = r;
  else if (r.up.left === x)
    r.up.left = r;
  else
    r.up.right = r;
  return r;
}

// Applies a step, and keeps what it marks: the node it made and every node
// a rotation moved (the one turned, the child that rose, the grandchild
// that crossed), and of each rotation, the node turned and the one risen.
function apply(tree, step) {
  if (step.lookup !== undefined)
    return;
  const moved = new Set(), pivots = new Set(), risers = new Set();
  if (step.level <= 1)
    moved.add(attach(tree, step.node, step.value).number);
  for (const t of step.turns) {
    const x = tree.nodes[t.node];
    const crossing = t.right ? x.left.right : x.right.left;
    const r = rotate(tree, x, t.right);
    for (const n of [x, r, crossing])
      if (n)
        moved.add(n.number);
    pivots.add(x.number);
    risers.add(r.number);
  }
  step.marks = {moved, pivots, risers};
}

function undo(tree, step) {
  if (step.lookup !== undefined)
    return;
  for (let i = step.turns.length - 1; i >= 0; i--) {
    const x = tree.nodes[step.turns[i].node];
    rotate(tree, x.up, !step.turns[i].right);
  }
  if (step.level <= 1)
    detach(tree, tree.nodes[step.node]);
}

/* ---- Layout and heights --------------------------------------------------
   As the text drawing: a node's column is its place in the in-order
   listing, its row its depth. A node's height is as the balancing takes
   it: a leaf's is 1, an empty subtree's 0. */

function layOut(tree) {
  const order = [];
  const stack = [];
  let rows = 0;
  for (let n = tree.root, depth = 0; n || stack.length;) {
    for (; n; n = n.left, depth++)
      stack.push([n, depth]);
    [n, depth] = stack.pop();
    order.push({node: n, column: order.length, row: depth});
    rows = Math.max(rows, depth + 1);
    n = n.right;
    depth++;
  }
  return {order, rows};
}

function heights(tree) {
  const h = new Map();
  const of = (n) => (n ? h.get(n) : 0);
  const stack = tree.root ? [tree.root] : [];
  while (stack.length) {
    const n = stack[stack.length - 1];
    if (n.left && !h.has(n.left)) {
      stack.push(n.left);
    } else if (n.right && !h.has(n.right)) {
      stack.push(n.right);
    } else {
      h.set(n, 1 + Math.max(of(n.left), of(n.right)));
      stack.pop();
    }
  }
  return h;
}

/* ---- Headings ------------------------------------------------------------
   As the text drawing heads its pictures. */

function headingOf(step, valueOf) {
  if (step.lookup !== undefined)
    return `== search ${step.lookup}: ${step.found ? "found" : "not found"}`;
  if (step.levels === 0)
    return `== insert ${step.value}: the first value, the root`;
  const turns = step.turns.map((t, i) =>
    `${i === 0 ? "rotated " : ""}${t.right ? "right" : "left"} at ${valueOf[t.node]}`);
  return `== insert ${step.value} (step ${step.level} of ${step.levels}): ` +
         (turns.length ? turns.join(", ") : "no rotation");
}

/* ---- The picture ---------------------------------------------------------
   Circles as wide as the run's longest value, one column per node, one row
   per depth. A picture is a list of places, drawn either into the live
   picture, whose node elements are kept from step to step so that they
   can glide, or as the text of a still picture. */

function geometryOf(steps) {
  let longest = 1;
  for (const s of steps)
    longest = Math.max(longest, String(s.value ?? s.lookup).length);
  const r = 4 * longest + 10, margin = 26;
  return {r, margin, dx: 2 * r + 10, dy: 2 * r + 30, scale: 1};
}

// A tree wider than the window, fitted to its width: its nodes drawn
// smaller, down to dots, its rows kept apart enough to show its shape.
function fitted(geometry, count, width) {
  const {r, margin, dx} = geometry;
  const room = (width - 2 * margin) / Math.max(1, count);
  if (room >= dx)
    return geometry;
  const scale = room / dx;
  return {r, margin, dx: room, dy: Math.max(16, (2 * r + 30) * scale), scale};
}

function placesOf(tree, step, geometry, withHeights) {
  const {order, rows} = layOut(tree);
  const {r, margin, dx, dy, scale} = geometry;
  const marks = step ? step.marks : null;
  const way = step && step.way ? new Set(step.way) : null;
  const h = withHeights ? heights(tree) : null;
  const places = order.map(({node, column, row}) => {
    const classes = [];
    if (marks && marks.moved.has(node.number))
      classes.push("moved");
    if (marks && marks.pivots.has(node.number))
      classes.push("pivot");
    if (marks && marks.risers.has(node.number))
      classes.push("riser");
    if (way && way.has(node.number))
      classes.push("path");
    return {node, x: margin + column * dx + r, y: margin + row * dy + r,
            classes, height: h ? h.get(node) : null};
  });
  const at = new Map(places.map((p) => [p.node, p]));
  for (const p of places) {
    p.up = p.node.up ? at.get(p.node.up) : null;
    p.pathEdge = way !== null && p.up !== null && way.has(p.node.number) &&
                 way.has(p.node.up.number);
  }
  return {places, r, scale,
          width: Math.ceil(2 * margin + Math.max(0, places.length * dx - 10 * scale)),
          height: Math.ceil(2 * margin + Math.max(0, rows * dy - 30 * scale))};
}

const svgNS = "http://www.w3.org/2000/svg";

function escapeText(s) {
  return String(s).replace(/&/g, "&amp;").replace(/</g, "&lt;");
}

// A still picture, as SVG text.
function pictureText(picture, label) {
  const {places, r, width, height} = picture;
  const edges = places.filter((p) => p.up).map((p) =>
    `<line class="edge${p.pathEdge ? " path" : ""}" x1="${p.up.x}" ` +
    `y1="${p.up.y}" x2="${p.x}" y2="${p.y}"/>`);
  const nodes = places.map((p) =>
    `<g class="node ${p.classes.join(" ")}" transform="translate(${p.x},${p.y})">` +
    `<circle class="ring" r="${r + 6}"/><circle class="body" r="${r}"/>` +
    `<text class="role" y="${-r - 10}">\u25B2</text>` +
    `<text class="value">${p.node.a}</text>` +
    (p.height !== null ?
      `<text class="height" x="${r * 0.75}" y="${-r * 0.75}">${p.height}</text>` : "") +
    "</g>");
  return `<svg xmlns="${svgNS}" width="${width}" height="${height}" ` +
         `viewBox="0 0 ${width} ${height}" role="img" ` +
         `aria-label="${escapeText(label).replace(/"/g, "&quot;")}">` +
         edges.join("") + nodes.join("") + "</svg>";
}

/* ---- The run at a glance -------------------------------------------------
   After each insertion: the tree's height, the least a binary tree of as
   many nodes can have, the height the same values would give in a tree
   that never rotates, and the rotations the insertion made. The tree that
   never rotates hangs each value below the deeper of its two neighbours in
   the in-order listing, which rotations keep: so its heights come from the
   replay itself. */

function depth(n) {
  return n ? 1 + Math.max(depth(n.left), depth(n.right)) : 0;
}

function runStats(steps) {
  const tree = newTree();
  const plain = [];
  const rows = [];
  let plainHeight = 0;
  steps.forEach((step, k) => {
    if (step.lookup !== undefined)
      return;
    if (step.level <= 1) {
      let before = null, after = null;
      for (let p = tree.root; p;)
        if (p.a < step.value) {
          before = p;
          p = p.right;
        } else {
          after = p;
          p = p.left;
        }
      plain[step.node] = 1 + Math.max(before ? plain[before.number] : 0,
                                       after ? plain[after.number] : 0);
      plainHeight = Math.max(plainHeight, plain[step.node]);
      rows[step.node] = {rotations: 0};
    }
    apply(tree, step);
    const row = rows[step.node];
    row.rotations += step.turns.length;
    if (step.level === step.levels) {
      row.last = k;
      row.height = depth(tree.root);
      row.least = Math.ceil(Math.log2(step.node + 2) - 1e-9);
      row.plain = plainHeight;
    }
  });
  return rows;
}

// The chart, as SVG text: lines of heights above, bars of rotations below,
// each line with a dash of its own, named in the legend above them.
const chartSize = {width: 900, height: 320, left: 60, right: 20, top: 40,
                   lines: 190, gap: 20, bars: 50};

function chartX(i, n) {
  const {width, left, right} = chartSize;
  return left + (n > 1 ? (i * (width - left - right)) / (n - 1) : 0);
}

function chartText(rows) {
  const {width, left, right, top, lines, gap, bars} = chartSize;
  const n = rows.length;
  const x = (i) => chartX(i, n);
  const most = Math.max(1, ...rows.map((r) => r.plain));
  const tallest = Math.max(1, ...rows.map((r) => r.height));
  // A tree that never rotates may stand far taller: then heights go on a
  // scale of powers of two, so that the low lines stay apart.
  const log = most > 3 * tallest;
  const scale = log ? (v) => Math.log2(Math.max(1, v)) / Math.log2(most)
                    : (v) => v / most;
  const y = (v) => top + lines - scale(v) * lines;
  const ticks = [];
  for (let v = 1; v <= most; v = log ? v * 2 : v + Math.ceil(most / 6))
    ticks.push(v);
  const maxTurns = Math.max(1, ...rows.map((r) => r.rotations));
  const barTop = top + lines + gap;
  const barWidth = Math.max(1, (width - left - right) / Math.max(1, n) - 1);
  const line = (key) => {
    const points = rows.map((r, i) => `${x(i).toFixed(1)},${y(r[key]).toFixed(1)}`);
    return `<polyline class="line ${key}" points="${points.join(" ")}"/>`;
  };
  const legend = [["height", "height"], ["least", "least possible"],
                  ["plain", "without rotations"], ["bars", "rotations"]].map(([key, name], i) => {
    const at = left + i * 190;
    const sample = key === "bars" ?
      `<rect class="bars" x="${at}" y="6" width="10" height="14"/>` :
      `<line class="line ${key}" x1="${at}" x2="${at + 30}" y1="13" y2="13"/>`;
    return sample + `<text class="label" x="${at + 36}" y="13">${name}</text>`;
  });
  const bar = rows.map((r, i) => r.rotations ?
    `M${(x(i) - barWidth / 2).toFixed(1)},${barTop + bars}v${(-r.rotations * bars / maxTurns).toFixed(1)}h${barWidth.toFixed(1)}V${barTop + bars}z` : "");
  return `<svg class="chart" xmlns="${svgNS}" viewBox="0 0 ${width} ${chartSize.height}" ` +
    `role="img" aria-label="Heights and rotations after each insertion">` +
    `<rect class="back" x="0" y="0" width="${width}" height="${chartSize.height}"/>` +
    ticks.map((v) => `<line class="grid" x1="${left}" x2="${width - right}" y1="${y(v)}" y2="${y(v)}"/>` +
                     `<text class="axis" x="${left - 6}" y="${y(v)}" text-anchor="end">${v}</text>`).join("") +
    `<text class="axis title" x="${left - 40}" y="${top + lines / 2}" ` +
    `transform="rotate(-90 ${left - 40} ${top + lines / 2})">height${log ? " (log scale)" : ""}</text>` +
    `<path class="bars" d="${bar.join("")}"/>` +
    `<text class="axis" x="${left - 6}" y="${barTop}" text-anchor="end">${maxTurns}</text>` +
    `<text class="axis" x="${left - 6}" y="${barTop + bars}" text-anchor="end">0</text>` +
    `<text class="axis title" x="${left - 40}" y="${barTop + bars / 2}" ` +
    `transform="rotate(-90 ${left - 40} ${barTop + bars / 2})">rotations</text>` +
    `<text class="axis" x="${left}" y="${barTop + bars + 16}">insertion 1</text>` +
    `<text class="axis" x="${width - right}" y="${barTop + bars + 16}" text-anchor="end">${n}</text>` +
    line("plain") + line("least") + line("height") + legend.join("") +
    `<line class="marker" y1="${top}" y2="${barTop + bars}"/></svg>`;
}

/* ---- The page ------------------------------------------------------------
   Everything below runs in the browser only. */

function startPage() {
  const $ = (id) => document.getElementById(id);
  const record = readRecord($("run").textContent);
  const view = {
    steps: record.steps,
    tree: newTree(),
    at: -1,            // the step the tree is in, or -1 before the first
    shown: new Map(),  // node -> its live elements and where they stand
    timer: null,       // the player's, while it plays
    motion: null,      // the glide under way
    geometry: geometryOf(record.steps),
    valueOf: valuesOf(record.steps),
  };
  const reducedMotion = matchMedia("(prefers-reduced-motion: reduce)");
  const svg = document.createElementNS(svgNS, "svg");
  svg.setAttribute("role", "img");
  const edgeLayer = document.createElementNS(svgNS, "g");
  const nodeLayer = document.createElementNS(svgNS, "g");
  svg.append(edgeLayer, nodeLayer);
  $("picture").append(svg);

  if (record.failure !== null) {
    $("failure").textContent = `The answers fell short (${record.failure}); ` +
      "every step before that is here.";
    $("failure").hidden = false;
  }

  function valuesOf(steps) {
    const values = [];
    for (const s of steps)
      if (s.node !== undefined)
        values[s.node] = s.value;
    return values;
  }

  // Moves the tree to step k, one step at a time.
  function moveTo(k) {
    while (view.at < k)
      apply(view.tree, view.steps[++view.at]);
    while (view.at > k)
      undo(view.tree, view.steps[view.at--]);
  }

  function elementsOf(node) {
    let e = view.shown.get(node);
    if (e)
      return e;
    const make = (name, attrs, parent) => {
      const el = document.createElementNS(svgNS, name);
      for (const [k, v] of Object.entries(attrs))
        el.setAttribute(k, v);
      parent.append(el);
      return el;
    };
    const r = view.geometry.r;
    const g = make("g", {}, nodeLayer);
    make("circle", {class: "ring", r: r + 6}, g);
    make("circle", {class: "body", r}, g);
    make("text", {class: "role", y: -r - 10}, g).textContent = "\u25B2";
    make("text", {class: "value"}, g).textContent = node.a;
    const height = make("text", {class: "height", x: r * 0.75, y: -r * 0.75}, g);
    e = {g, height, edge: make("line", {class: "edge"}, edgeLayer), x: 0, y: 0};
    view.shown.set(node, e);
    return e;
  }

  function place(e, x, y, scale) {
    e.x = x;
    e.y = y;
    e.g.setAttribute("transform", `translate(${x},${y}) scale(${scale})`);
  }

  function placeEdge(e, up) {
    if (!up) {
      e.edge.setAttribute("visibility", "hidden");
      return;
    }
    e.edge.removeAttribute("visibility");
    e.edge.setAttribute("x1", up.x);
    e.edge.setAttribute("y1", up.y);
    e.edge.setAttribute("x2", e.x);
    e.edge.setAttribute("y2", e.y);
  }

  // Draws the step the tree is in. Neighbouring steps glide, unless the
  // reader asked for less motion or the tree is too big to move smoothly.
  function draw(glide) {
    const step = view.steps[view.at];
    const geometry = $("full").checked ? view.geometry :
      fitted(view.geometry, view.tree.nodes.length, $("picture").clientWidth);
    const picture = placesOf(view.tree, step, geometry, $("heights").checked);
    if (view.motion)
      cancelAnimationFrame(view.motion);
    view.motion = null;
    for (const [node, e] of view.shown)
      if (view.tree.nodes[node.number] !== node) {
        e.g.remove();
        e.edge.remove();
        view.shown.delete(node);
      }
    // A new node comes down from where its parent stood.
    const was = new Map();
    for (const [node, e] of view.shown)
      was.set(node, {x: e.x, y: e.y});
    const moves = [];
    for (const p of picture.places) {
      const e = elementsOf(p.node);
      e.g.setAttribute("class", `node ${p.classes.join(" ")}`);
      e.height.textContent = p.height ?? "";
      e.edge.setAttribute("class", p.pathEdge ? "edge path" : "edge");
      const from = was.get(p.node) || (p.up && was.get(p.up.node)) || p;
      moves.push({e, up: p.up ? elementsOf(p.up.node) : null,
                  x0: from.x, y0: from.y, x1: p.x, y1: p.y});
    }
    svg.setAttribute("width", picture.width);
    svg.setAttribute("height", picture.height);
    svg.setAttribute("viewBox", `0 0 ${picture.width} ${picture.height}`);
    const heading = step ? headingOf(step, view.valueOf) :
      "== no steps: the answers held no values and no value to look up";
    svg.setAttribute("aria-label", heading);
    $("heading").textContent = heading;
    if (glide && !reducedMotion.matches && moves.length <= 1500)
      glideTo(moves, picture.scale);
    else
      moveAll(moves, 1, picture.scale);
  }

  function moveAll(moves, t, scale) {
    for (const m of moves)
      place(m.e, m.x0 + (m.x1 - m.x0) * t, m.y0 + (m.y1 - m.y0) * t, scale);
    for (const m of moves)
      placeEdge(m.e, m.up);
  }

  function glideTo(moves, scale) {
    const start = performance.now();
    const length = Math.min(350, 0.6 * stepTime());
    const frame = (now) => {
      const t = Math.min(1, (now - start) / length);
      moveAll(moves, t < 0.5 ? 2 * t * t : 1 - 2 * (1 - t) * (1 - t), scale);
      view.motion = t < 1 ? requestAnimationFrame(frame) : null;
    };
    moveAll(moves, 0, scale);
    view.motion = requestAnimationFrame(frame);
  }

  function stepTime() {
    return 900 / Number($("speed").value);
  }

  // Shows step k (0-based), and names it in the address.
  function go(k) {
    const last = view.steps.length - 1;
    k = Math.max(Math.min(k, last), last < 0 ? -1 : 0);
    const glide = Math.abs(k - view.at) === 1;
    moveTo(k);
    draw(glide);
    $("slider").max = Math.max(1, view.steps.length);
    $("slider").value = k + 1;
    $("where").textContent = `step ${k + 1} of ${view.steps.length}`;
    if (k >= 0)
      history.replaceState(null, "", `#step=${k + 1}`);
    markChart();
    if (k >= last)
      pause();
  }

  // The chart of the run shown, and the step shown marked on it.
  function drawChart() {
    const start = performance.now();
    view.rows = runStats(view.steps);
    $("chart").innerHTML = chartText(view.rows);
    const last = view.rows[view.rows.length - 1];
    const rotations = view.rows.reduce((sum, r) => sum + r.rotations, 0);
    $("summary").textContent = last ?
      `${view.rows.length} values, ${rotations} rotations; the tree after the ` +
      `last: height ${last.height} (least possible ${last.least}; without ` +
      `rotations ${last.plain}).` : "No values.";
    document.documentElement.dataset.chartMs = Math.round(performance.now() - start);
  }

  function markChart() {
    const marker = $("chart").querySelector(".marker");
    let step = view.steps[view.at];
    if (step && step.lookup !== undefined)
      step = {node: view.rows.length - 1};
    const x = step ? chartX(step.node, view.rows.length) : -10;
    marker.setAttribute("x1", x);
    marker.setAttribute("x2", x);
  }

  $("chart").addEventListener("click", (e) => {
    const chart = $("chart").querySelector("svg");
    const n = view.rows.length;
    if (!chart || n === 0)
      return;
    const at = new DOMPoint(e.clientX, e.clientY)
      .matrixTransform(chart.getScreenCTM().inverse());
    const {width, left, right} = chartSize;
    const i = Math.round(((at.x - left) * (n - 1)) / (width - left - right));
    go(view.rows[Math.max(0, Math.min(n - 1, i))].last);
  });

  function turnFrom(k, by) {
    for (let j = k + by; j >= 0 && j < view.steps.length; j += by)
      if (view.steps[j].turns && view.steps[j].turns.length)
        return j;
    return k;
  }

  function play() {
    if (view.at >= view.steps.length - 1)
      go(0);
    $("play").textContent = "\u23F8 Pause";
    const tick = () => {
      go(view.at + 1);
      if (view.timer !== null)
        view.timer = setTimeout(tick, stepTime());
    };
    view.timer = setTimeout(tick, stepTime());
  }

  function pause() {
    clearTimeout(view.timer);
    view.timer = null;
    $("play").textContent = "\u25B6 Play";
  }

  function changeSpeed(by) {
    const s = $("speed");
    s.selectedIndex = Math.max(0, Math.min(s.options.length - 1, s.selectedIndex + by));
  }

  function setHeights(on) {
    $("heights").checked = on;
    svg.classList.toggle("hide-heights", !on);
    if (view.at >= 0)
      draw(false);
  }

  function setFull(on) {
    $("full").checked = on;
    $("picture").className = on ? "full" : "fit";
    if (view.at >= 0)
      draw(false);
  }

  // The picture shown, with the page's style, as a file of its own.
  function saveSvg() {
    const copy = svg.cloneNode(true);
    copy.setAttribute("xmlns", svgNS);
    const style = document.createElementNS(svgNS, "style");
    style.textContent = document.querySelector("style").textContent;
    copy.prepend(style);
    const blob = new Blob([new XMLSerializer().serializeToString(copy)],
                          {type: "image/svg+xml"});
    download(blob, `rotadraw-step-${view.at + 1}.svg`);
  }

  function download(blob, name) {
    const a = document.createElement("a");
    a.href = URL.createObjectURL(blob);
    a.download = name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 1000);
  }

  // Every step, one still picture each, in order. A long run is cut, but
  // never before 500 steps.
  function showAll() {
    pause();
    const tree = newTree();
    const parts = [];
    let nodes = 0, k = 0;
    for (; k < view.steps.length && (k < 500 || nodes < 150000); k++) {
      const step = view.steps[k];
      apply(tree, step);
      const heading = headingOf(step, view.valueOf);
      parts.push(`<section class="step"><h2>${escapeText(heading)}</h2>` +
                 pictureText(placesOf(tree, step, view.geometry, false), heading) +
                 "</section>");
      nodes += tree.nodes.length;
    }
    $("allNote").textContent = k < view.steps.length ?
      `The first ${k} of ${view.steps.length} steps; the rest one at a time, ` +
      `from #step=${k + 1}.` : `All ${k} steps.`;
    $("pictures").innerHTML = parts.join("");
    $("one").hidden = true;
    $("all").hidden = false;
  }

  function showOne(k) {
    $("all").hidden = true;
    $("pictures").innerHTML = "";
    $("one").hidden = false;
    go(k);
  }

  function followAddress() {
    const m = /^#step=(\d+)$/.exec(location.hash);
    if (location.hash === "#all")
      showAll();
    else
      showOne(m ? Number(m[1]) - 1 : 0);
  }

  /* ---- Trying it: the reader's own values, with the module's algorithm. */

  const undoable = [];  // the runs before each of the reader's changes

  // Shows a run of other steps, from step k.
  function setSteps(steps, k) {
    pause();
    const geometry = geometryOf(steps);
    for (const e of view.shown.values()) {
      e.g.remove();
      e.edge.remove();
    }
    view.shown.clear();
    view.steps = steps;
    view.geometry = geometry;
    view.valueOf = valuesOf(steps);
    view.tree = newTree();
    view.at = -1;
    drawChart();
    $("differs").hidden = steps === record.steps;
    $("undoButton").disabled = undoable.length === 0;
    $("recorded").disabled = steps === record.steps;
    go(k);
  }

  function change(steps, k) {
    undoable.push({steps: view.steps, at: view.at});
    setSteps(steps, k);
  }

  // The steps that stay when a value goes in or is looked up: those up to
  // the end of the insertion shown. A lookup is the run's last step: a new
  // one takes the place of the old.
  function kept() {
    let k = view.at;
    if (k >= 0 && view.steps[k].lookup !== undefined)
      k--;
    while (k >= 0 && k + 1 < view.steps.length &&
           view.steps[k + 1].node === view.steps[k].node)
      k++;
    return k;
  }

  // The module's tree as the kept steps leave it.
  function treeAfter(k) {
    moveTo(k);
    const copy = (n) => n && {a: n.a, number: n.number,
                              left: copy(n.left), right: copy(n.right)};
    return {root: copy(view.tree.root), count: view.tree.nodes.length};
  }

  // A value typed: a 32-bit integer, or a message beside the field.
  function typedValue() {
    const text = $("value").value.trim();
    const why = text === "" ? "Type a value first." :
      !/^[+-]?[0-9]+$/.test(text) ? "Not a number: type an integer such as 42." :
      Math.abs(Number(text) + 0.5) > 2147483648 ?
        "Out of range: values are 32-bit, -2147483648 to 2147483647." : null;
    $("valueMessage").textContent = why ?? "";
    $("value").setAttribute("aria-invalid", why ? "true" : "false");
    return why ? null : Number(text);
  }

  // The new steps play on from the first.
  function tryInsert(e) {
    e.preventDefault();
    const a = typedValue();
    if (a === null)
      return;
    const k = kept();
    const added = insertSteps(treeAfter(k), a);
    change(view.steps.slice(0, k + 1).concat(added), k + 1);
    if (added.length > 1)
      play();
  }

  function tryLookUp() {
    const a = typedValue();
    if (a === null)
      return;
    const k = kept();
    const step = lookupStep(treeAfter(k), a);
    change(view.steps.slice(0, k + 1).concat([step]), k + 1);
  }

  function undoChange() {
    const was = undoable.pop();
    if (was)
      setSteps(was.steps, was.at);
  }

  function newRun() {
    const answers = readAnswers($("answers").value);
    $("answersMessage").textContent =
      answers.failure ? `rotadraw: ${answers.failure}` : "";
    if (answers.counted) {
      const steps = runSteps(answers.values, answers.lookup);
      change(steps, steps.length - 1);
    }
  }

  // What rotatree reads to make the run shown.
  function saveAnswers() {
    const values = [];
    let lookup = null;
    for (const s of view.steps)
      if (s.lookup !== undefined)
        lookup = s.lookup;
      else if (s.level <= 1)
        values.push(s.value);
    const text = `${values.length}\n` + (values.length ? `${values.join(" ")}\n` : "") +
                 (lookup !== null ? `${lookup}\n` : "");
    download(new Blob([text], {type: "text/plain"}), "answers.txt");
  }

  $("tryForm").addEventListener("submit", tryInsert);
  $("lookUp").addEventListener("click", tryLookUp);
  $("undoButton").addEventListener("click", undoChange);
  $("recorded").addEventListener("click", () =>
    change(record.steps, Math.min(view.at, record.steps.length - 1)));
  $("newRun").addEventListener("click", newRun);
  $("saveAnswers").addEventListener("click", saveAnswers);
  $("value").addEventListener("input", () => {
    $("valueMessage").textContent = "";
  });

  const actions = {
    first: () => go(0),
    prev: () => go(view.at - 1),
    next: () => go(view.at + 1),
    last: () => go(view.steps.length - 1),
    prevTurn: () => go(turnFrom(view.at, -1)),
    nextTurn: () => go(turnFrom(view.at, 1)),
    play: () => (view.timer === null ? play() : pause()),
    saveSvg,
  };
  for (const [id, act] of Object.entries(actions))
    $(id).addEventListener("click", act);
  $("slider").addEventListener("input", () => go(Number($("slider").value) - 1));
  $("heights").addEventListener("change", () => setHeights($("heights").checked));
  $("full").addEventListener("change", () => setFull($("full").checked));

  const keys = {
    ArrowLeft: actions.prev, ArrowRight: actions.next,
    Home: actions.first, End: actions.last,
    "[": actions.prevTurn, "]": actions.nextTurn, " ": actions.play,
    "+": () => changeSpeed(1), "=": () => changeSpeed(1), "-": () => changeSpeed(-1),
    h: () => setHeights(!$("heights").checked), f: () => setFull(!$("full").checked),
    s: saveSvg,
  };
  document.addEventListener("keydown", (e) => {
    const t = e.target;
    const field = t.matches("textarea, select, input:not([type=range]):not([type=checkbox])");
    const own = t.matches("input[type=range]") ? /^(Arrow|Home|End)/.test(e.key) :
      t.matches("button, input[type=checkbox], a") && (e.key === " " || e.key === "Enter");
    if (field || own || e.ctrlKey || e.altKey || e.metaKey || !keys[e.key] ||
        !$("all").hidden)
      return;
    e.preventDefault();
    keys[e.key]();
  });
  addEventListener("hashchange", followAddress);
  addEventListener("resize", () => {
    if (!$("full").checked && view.at >= 0)
      draw(false);
  });

  drawChart();
  // Heights are on for a small tree, where they can be read.
  setHeights(maxNodes(view.steps) <= 64);
  followAddress();
  document.documentElement.dataset.drawnMs = Math.round(performance.now());

  function maxNodes(steps) {
    return steps.reduce((n, s) => Math.max(n, s.node === undefined ? 0 : s.node + 1), 0);
  }
}

if (typeof document !== "undefined")
  startPage();
else if (typeof module === "object")
  module.exports = {readRecord, insertSteps, runSteps, newTree, apply};
