// The live picture: one SVG whose node elements are kept from step to step,
// so that they can glide from where they stood to where they stand.
// Provides newPicture, drawPicture and clearPicture. Uses svgNS
// (still.js) and the places that placesOf (layout.js) gives.
"use strict";

// Past this many nodes, a tree jumps rather than glides.
const MOVING_NODES_MAX = 1500;
const GLIDE_MS = 350;

function newPicture(container, r) {
  const svg = document.createElementNS(svgNS, "svg");
  svg.setAttribute("role", "img");
  const edgeLayer = document.createElementNS(svgNS, "g");
  const nodeLayer = document.createElementNS(svgNS, "g");
  svg.append(edgeLayer, nodeLayer);
  container.append(svg);
  return {svg, edgeLayer, nodeLayer, shown: new Map(), motion: null, r};
}

function make(name, attrs, parent) {
  const el = document.createElementNS(svgNS, name);
  for (const [k, v] of Object.entries(attrs))
    el.setAttribute(k, v);
  parent.append(el);
  return el;
}

// A node's elements, made when it is first shown.
function elementsOf(live, node) {
  let e = live.shown.get(node);
  if (e)
    return e;
  const r = live.r;
  const g = make("g", {}, live.nodeLayer);
  make("circle", {class: "ring", r: r + 6}, g);
  make("circle", {class: "body", r}, g);
  make("text", {class: "role", y: -r - 10}, g).textContent = "\u25B2";
  make("text", {class: "value"}, g).textContent = node.a;
  const height = make("text", {class: "height", x: r * 0.75, y: -r * 0.75}, g);
  e = {g, height, edge: make("line", {class: "edge"}, live.edgeLayer), x: 0, y: 0};
  live.shown.set(node, e);
  return e;
}

function clearPicture(live, r) {
  for (const e of live.shown.values()) {
    e.g.remove();
    e.edge.remove();
  }
  live.shown.clear();
  live.r = r;
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

function moveAll(moves, t, scale) {
  for (const m of moves)
    place(m.e, m.x0 + (m.x1 - m.x0) * t, m.y0 + (m.y1 - m.y0) * t, scale);
  for (const m of moves)
    placeEdge(m.e, m.up);
}

// While it glides, the picture is of the class "gliding".
function glideTo(live, moves, scale, length) {
  const start = performance.now();
  const frame = (now) => {
    const t = Math.min(1, (now - start) / length);
    moveAll(moves, t < 0.5 ? 2 * t * t : 1 - 2 * (1 - t) * (1 - t), scale);
    live.motion = t < 1 ? requestAnimationFrame(frame) : null;
    live.svg.classList.toggle("gliding", t < 1);
  };
  moveAll(moves, 0, scale);
  live.svg.classList.add("gliding");
  live.motion = requestAnimationFrame(frame);
}

// Draws the tree's places; with `glideMs`, its nodes glide there from
// where they stood, a new one from where its parent stood.
function drawPicture(live, tree, picture, label, glideMs) {
  if (live.motion)
    cancelAnimationFrame(live.motion);
  live.motion = null;
  live.svg.classList.remove("gliding");
  for (const [node, e] of live.shown)
    if (tree.nodes[node.number] !== node) {
      e.g.remove();
      e.edge.remove();
      live.shown.delete(node);
    }
  const was = new Map();
  for (const [node, e] of live.shown)
    was.set(node, {x: e.x, y: e.y});
  const moves = [];
  for (const p of picture.places) {
    const e = elementsOf(live, p.node);
    e.g.setAttribute("class", `node ${p.classes.join(" ")}`);
    e.height.textContent = p.height ?? "";
    e.edge.setAttribute("class", p.pathEdge ? "edge path" : "edge");
    const from = was.get(p.node) || (p.up && was.get(p.up.node)) || p;
    moves.push({e, up: p.up ? elementsOf(live, p.up.node) : null,
                x0: from.x, y0: from.y, x1: p.x, y1: p.y});
  }
  const svg = live.svg;
  svg.setAttribute("width", picture.width);
  svg.setAttribute("height", picture.height);
  svg.setAttribute("viewBox", `0 0 ${picture.width} ${picture.height}`);
  svg.setAttribute("aria-label", label);
  if (glideMs > 0 && moves.length <= MOVING_NODES_MAX)
    glideTo(live, moves, picture.scale, Math.min(GLIDE_MS, glideMs));
  else
    moveAll(moves, 1, picture.scale);
}
