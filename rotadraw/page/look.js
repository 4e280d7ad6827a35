// How each node of a step's picture looks: its marks as classes, the class
// of the edge up to its parent, and its height when asked for. Provides
// lookOf. Uses isLookup (steps.js).
"use strict";

// `marks` are the step's, as apply (replay.js) notes them.
function lookOf(step, marks, withHeights) {
  const way = step && isLookup(step) ? new Set(step.way) : null;
  return (node) => {
    const classes = [];
    if (marks.moved.has(node.number))
      classes.push("moved");
    if (marks.pivots.has(node.number))
      classes.push("pivot");
    if (marks.risers.has(node.number))
      classes.push("riser");
    const onWay = way !== null && way.has(node.number);
    if (onWay)
      classes.push("path");
    return {classes, edge: onWay ? "edge path" : "edge",
            height: withHeights ? String(node.height) : null};
  };
}
