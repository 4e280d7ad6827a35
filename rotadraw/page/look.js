// How each node of a step's picture looks: its marks as classes, the class of
// the edge up to its parent, and its height when asked for.

import {isLookup} from "./steps.js";

// `marks` are the step's, as apply (replay.js) notes them; `checks` the
// checks its balancing made, or null. A checked node's height is its two
// subtrees' as the balancing first took them.
export function lookOf(step, marks, withHeights, checks) {
  const way = step && isLookup(step) ? new Set(step.way) : null;
  const checked = new Map();
  for (const c of checks ?? [])
    if (!checked.has(c.number))
      checked.set(c.number, c);
  return (node) => {
    const classes = [];
    const check = checked.get(node.number);
    if (check)
      classes.push("checked");
    if (marks.moved.has(node.number))
      classes.push("moved");
    if (marks.pivots.has(node.number))
      classes.push("pivot");
    if (marks.risers.has(node.number))
      classes.push("riser");
    if (checks?.undoneNodes?.has(node.number))
      classes.push("undone");
    const onWay = way !== null && way.has(node.number);
    if (onWay)
      classes.push("path");
    return {classes, edge: onWay ? "edge path" : "edge",
            height: !withHeights ? null :
              check ? `${check.hLeft}|${check.hRight}` : String(node.height)};
  };
}
