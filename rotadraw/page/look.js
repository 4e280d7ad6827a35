// How each node of a step's picture looks: its marks as classes, the class of
// the edge up to its parent, and its height when asked for.

import {isLookup} from "./steps.js";

// `marks` are the step's, as apply (replay.js) notes them; `checks` the
// checks its balancing made, or null. A checked node's height is its two
// subtrees' as the balancing first took them; one a turn moved shows them
// as they are after it too, "3|1 → 1|1", since the picture is the tree
// after the turn.
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
    const h = (n) => (n ? n.height : 0);
    const now = `${h(node.left)}|${h(node.right)}`;
    const turned = step?.turns?.length > 0 && marks.moved.has(node.number);
    const taken = check && `${check.hLeft}|${check.hRight}`;
    return {classes, edge: onWay ? "edge path" : "edge",
            height: !withHeights ? null :
              turned ? (taken && taken !== now ? `${taken} \u2192 ${now}` : now) :
              taken || String(node.height)};
  };
}
