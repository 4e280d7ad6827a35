// Where each node of a picture stands. As in the text drawing, a node's column
// is its place in the in-order listing and its row its depth.

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

// The picture at full size: circles as wide as the run's longest value, one
// column per node, one row per depth, and room around for the marks (a
// ring, the riser's arrow, a height, "3|1 → 1|1" after a turn).
export function geometryOf(steps) {
  let longest = 1;
  for (const s of steps)
    longest = Math.max(longest, String(s.value ?? s.lookup).length);
  const r = 4 * longest + 10;
  return {r, margin: 60, dx: 2 * r + 10, dy: 2 * r + 30};
}

export const FULL_SIZE = {across: 1, down: 1};

// A node's glyph about its centre, for a circle of radius r: the ring
// around it, the riser's arrow above, and its height up to its right.
export function glyphOf(r) {
  return {ring: r + 6, roleY: -r - 10, heightX: r + 4, heightY: -r - 2};
}

// The size of a picture of `columns` nodes in `rows` rows, drawn `zoom`
// times its full size: the nodes' room and the margins around it.
export function pictureSize(geometry, columns, rows, zoom = FULL_SIZE) {
  const {dx, dy} = geometry, margin = marginOf(geometry, zoom);
  return {width: Math.ceil(2 * margin + Math.max(0, columns * dx - 10) * zoom.across),
          height: Math.ceil(2 * margin + Math.max(0, rows * dy - 30) * zoom.down)};
}

// The room round the nodes for their marks, which grow with a zoom in.
function marginOf(geometry, zoom) {
  return geometry.margin * Math.max(1, zoom.across);
}

// How much smaller a tree of `count` nodes is drawn to fit `width`, or
// `scale` times its full size when asked: across, nodes and spacing alike;
// down, never less than keeps the rows apart enough to show its shape. A
// fitted tree is drawn at most `most` times its full size: larger, for
// large text.
export function zoomOf(geometry, count, width, scale, most = 1) {
  const {margin, dy} = geometry;
  const content = Math.max(1, pictureSize(geometry, count, 0).width - 2 * margin);
  // Past full size, the margins grow with the picture.
  const fit = (width - 2 * margin) / content;
  const across = scale ?? (fit <= 1 ? fit :
    Math.max(1, Math.min(most, width / (2 * margin + content))));
  return {across, down: Math.max(across, Math.min(1, 16 / dy))};
}

// The least size a picture is shown at unless asked: a value's label (14
// pixels at full size) at least 10 pixels tall.
export const READABLE = 10 / 14;

// Where each node stands in a picture of the tree, drawn `zoom` times its
// full size, and the picture's size. Every node, with its marks, lies
// within the picture's margins. `look(node)` gives a node's classes, the
// class of its edge up, and the text of its height, or null.
export function placesOf(tree, geometry, zoom, look) {
  const {order, rows} = layOut(tree);
  const {r, dx, dy} = geometry, margin = marginOf(geometry, zoom);
  const {across, down} = zoom;
  const places = order.map(({node, column, row}) => {
    const {classes, edge, height} = look(node);
    return {node, classes, edge, height, x: margin + (r + column * dx) * across,
            y: margin + (r + row * dy) * down};
  });
  const placeOf = new Map(places.map((p) => [p.node, p]));
  for (const p of places)
    p.up = p.node.up ? placeOf.get(p.node.up) : null;
  return {places, r, scale: across, ...pictureSize(geometry, places.length, rows, zoom)};
}
