// The practice's tree and its picture: the subtree being balanced marked,
// the node going in, the one selected, and the turns the reader makes.

import {$} from "../../common/page/dom.js";
import {placesOf, zoomOf} from "./layout.js";
import {drawPicture, measure} from "./picture.js";
import {rotate} from "./replay.js";

// The subtree being balanced: its root's number, or null.
export function balancedRoot(state) {
  const d = state.drill;
  if (d.at >= d.levels.length)
    return null;
  const step = d.steps[d.levels[d.at].k];
  return state.path[step.levels - step.level] ?? null;
}

export function drawPractice(page, glideMs) {
  const state = page.practice, d = state.drill;
  const tree = state.tree;
  const inside = new Set();
  const top = balancedRoot(state);
  for (const stack = top === null ? [] : [tree.nodes[top]]; stack.length;) {
    const n = stack.pop();
    inside.add(n.number);
    stack.push(...[n.left, n.right].filter(Boolean));
  }
  const step = d.steps[d.at < d.levels.length ? d.levels[d.at].k : d.steps.length - 1];
  const look = (node) => {
    const classes = [];
    if (inside.has(node.number))
      classes.push("balanced");
    if (node.number === step.node && d.at < d.levels.length)
      classes.push("moved");
    if (node.number === state.selected)
      classes.push("selected");
    // A verdict on a wrong move: the reader's, and the module's turns.
    if (state.reviewing) {
      if (state.tried?.node === node.number)
        classes.push("tried");
      for (const [mark, name] of [["pivots", "pivot"], ["risers", "riser"], ["moved", "moved"]])
        if (state.marks?.[mark].has(node.number) && !classes.includes(name))
          classes.push(name);
    }
    return {classes, edge: "edge",
            height: $("practiseHeights").checked ? String(node.height) : null};
  };
  const zoom = zoomOf(state.geometry, tree.nodes.length, measure(state.live).width);
  drawPicture(state.live, placesOf(tree, state.geometry, zoom, look),
              `Practise: ${$("task").textContent}`,
              page.reducedMotion.matches ? 0 : glideMs);
}

// Turns node x of the practice tree; a node that rises to the top of the
// marked subtree is its top from then on.
export function turnAt(state, x, right) {
  const r = rotate(state.tree, x, right);
  const i = state.path.indexOf(x.number);
  if (i >= 0)
    state.path[i] = r.number;
}
