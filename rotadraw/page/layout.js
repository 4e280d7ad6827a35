// Where each node of a picture stands. As in the text drawing, a node's
// column is its place in the in-order listing and its row its depth.
// Provides layOut, geometryOf, fitted and placesOf. Uses nothing.
"use strict";

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

// Circles as wide as the run's longest value, one column per node, one
// row per depth.
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

// The places of a picture of the tree at a step: where each node stands,
// how it is marked, and its height when asked for.
function placesOf(tree, step, geometry, withHeights) {
  const {order, rows} = layOut(tree);
  const {r, margin, dx, dy, scale} = geometry;
  const marks = step ? step.marks : null;
  const way = step && step.way ? new Set(step.way) : null;
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
            classes, height: withHeights ? node.height : null};
  });
  const placeOf = new Map(places.map((p) => [p.node, p]));
  for (const p of places) {
    p.up = p.node.up ? placeOf.get(p.node.up) : null;
    p.pathEdge = way !== null && p.up !== null && way.has(p.node.number) &&
                 way.has(p.node.up.number);
  }
  return {places, r, scale,
          width: Math.ceil(2 * margin + Math.max(0, places.length * dx - 10 * scale)),
          height: Math.ceil(2 * margin + Math.max(0, rows * dy - 30 * scale))};
}
