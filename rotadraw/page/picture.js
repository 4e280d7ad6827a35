// The live picture: one SVG whose node elements are kept from step to step, so
// that they can glide from where they stood to where they stand. Only what is
// in view is drawn, node by node, or as an outline where more nodes are in
// view than can be drawn one by one.

import {svgElement} from "../../common/page/dom.js";
import {glyphOf} from "./layout.js";

// Past this many nodes, a tree jumps rather than glides.
const MOVING_NODES_MAX = 1500;
export const GLIDE_MS = 350;
// Past this many nodes in view, they are an outline: every edge and node
// in two paths, with the marked nodes drawn over them.
const DRAWN_NODES_MAX = 4000;
// The marks that a node keeps over an outline, drawn by itself: a whole
// level's checks may be thousands of nodes, and are left to the outline.
const OVER_OUTLINE = new Set(["moved", "pivot", "riser", "path", "selected", "undone"]);
// How far beyond what is in view the picture is drawn, so that a short
// scroll finds nodes there.
const VIEW_MARGIN = 300;

// Its name is the step's heading; its description, what the step did
// and the tree in words.
// A picture whose nodes can be chosen has each of them a button, reached
// with Tab, pressed when chosen.
export function newPicture(container, r, choosable = false) {
  const svg = svgElement("svg", choosable ? {} : {role: "img", "aria-describedby": "why treeText"},
                   container);
  const outline = svgElement("g", {class: "outline"}, svg);
  return {
    container, svg, r, choosable, picture: null, shown: new Map(), motion: null,
    outlineEdges: svgElement("path", {class: "edge"}, outline),
    outlineNodes: svgElement("path", {class: "dots"}, outline),
    edgeLayer: svgElement("g", {}, svg), nodeLayer: svgElement("g", {}, svg),
  };
}

// A node's elements, made when it is first shown.
function elementsOf(live, node) {
  let e = live.shown.get(node);
  if (e)
    return e;
  const r = live.r, glyph = glyphOf(r);
  const g = svgElement("g", live.choosable ?
    {"data-number": node.number, tabindex: 0, role: "button", "aria-label": node.a} :
    {"data-number": node.number}, live.nodeLayer);
  svgElement("circle", {class: "ring", r: glyph.ring}, g);
  svgElement("circle", {class: "body", r}, g);
  svgElement("text", {class: "role", y: glyph.roleY}, g).textContent = "\u25B2";
  svgElement("text", {class: "value"}, g).textContent = node.a;
  const height = svgElement("text", {class: "height", x: glyph.heightX, y: glyph.heightY}, g);
  e = {g, height, edge: svgElement("line", {class: "edge"}, live.edgeLayer), x: 0, y: 0};
  live.shown.set(node, e);
  return e;
}

function forget(live, node) {
  const e = live.shown.get(node);
  e.g.remove();
  e.edge.remove();
  live.shown.delete(node);
}

export function clearPicture(live, r) {
  for (const node of [...live.shown.keys()])
    forget(live, node);
  live.r = r;
  live.picture = null;
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

// The places whose node, or edge up, lies in the part of the picture in
// view: all of them when it is not wider than its box. The box is measured
// before anything is changed, so that the browser need not lay the page
// out again to say.
function inView(live, places) {
  const {width, scrollLeft} = live.box;
  if (live.picture.width <= width + 1)
    return places;
  const from = scrollLeft - VIEW_MARGIN;
  const to = scrollLeft + width + VIEW_MARGIN;
  const r = live.r * live.picture.scale;
  return places.filter((p) => {
    const left = Math.min(p.x, p.up ? p.up.x : p.x) - r;
    const right = Math.max(p.x, p.up ? p.up.x : p.x) + r;
    return right >= from && left <= to;
  });
}

function outlineOf(live, places) {
  const edges = [], dots = [];
  const at = (v) => Math.round(v * 10) / 10;
  for (const p of places) {
    if (p.up)
      edges.push(`M${at(p.up.x)} ${at(p.up.y)}L${at(p.x)} ${at(p.y)}`);
    dots.push(`M${at(p.x)} ${at(p.y)}h0`);
  }
  live.outlineEdges.setAttribute("d", edges.join(""));
  live.outlineNodes.setAttribute("d", dots.join(""));
  live.outlineNodes.style.strokeWidth = Math.max(2, 2 * live.r * live.picture.scale);
}

// Draws the places in view. With `glideMs`, nodes glide there from where
// they stood, a new one from where its parent stood.
export function drawView(live, glideMs) {
  if (live.motion)
    cancelAnimationFrame(live.motion);
  live.motion = null;
  live.svg.classList.remove("gliding");
  const picture = live.picture;
  let drawn = inView(live, picture.places);
  const outline = drawn.length > DRAWN_NODES_MAX;
  outlineOf(live, outline ? drawn : []);
  if (outline)
    drawn = drawn.filter((p) => p.classes.some((c) => OVER_OUTLINE.has(c)));
  const wanted = new Set(drawn.map((p) => p.node));
  for (const node of [...live.shown.keys()])
    if (!wanted.has(node))
      forget(live, node);
  const was = new Map();
  for (const [node, e] of live.shown)
    was.set(node, {x: e.x, y: e.y});
  const moves = [];
  for (const p of drawn) {
    const e = elementsOf(live, p.node);
    e.g.setAttribute("class", `node ${p.classes.join(" ")}`);
    if (live.choosable)
      e.g.setAttribute("aria-pressed", p.classes.includes("selected"));
    e.height.textContent = p.height ?? "";
    e.edge.setAttribute("class", p.edge);
    const from = was.get(p.node) || (p.up && was.get(p.up.node)) || p;
    moves.push({e, up: p.up && wanted.has(p.up.node) ? elementsOf(live, p.up.node) : p.up,
                x0: from.x, y0: from.y, x1: p.x, y1: p.y});
  }
  // Nodes to choose from are in the document in the order of their values,
  // so that Tab goes through them in order; turns keep that order, so only
  // a new node moves.
  if (live.choosable) {
    let before = null;
    for (const p of drawn) {
      const g = live.shown.get(p.node).g;
      if (g.previousElementSibling !== before)
        before ? before.after(g) : live.nodeLayer.prepend(g);
      before = g;
    }
  }
  if (glideMs > 0 && !outline && moves.length <= MOVING_NODES_MAX)
    glideTo(live, moves, picture.scale, Math.min(GLIDE_MS, glideMs));
  else
    moveAll(moves, 1, picture.scale);
}

// The size of the picture's box, and how far it is scrolled.
export function measure(live) {
  const box = live.container;
  live.box = {width: box.clientWidth, scrollLeft: box.scrollLeft};
  return live.box;
}

// Draws a picture of the tree: its places, as placesOf gives them, in a
// box of the width that `measure` took.
export function drawPicture(live, picture, label, glideMs) {
  live.picture = picture;
  const svg = live.svg;
  svg.setAttribute("width", picture.width);
  svg.setAttribute("height", picture.height);
  svg.setAttribute("viewBox", `0 0 ${picture.width} ${picture.height}`);
  svg.setAttribute("aria-label", label);
  drawView(live, glideMs);
}
