// Runs made in the page: the steps of inserting and looking up values with the
// tree module's algorithm, as rotadraw records them.

import {insert, wayTo} from "./port.js";
import {insertionSteps} from "./steps.js";

// The steps of inserting a into the port's tree {root, count}; each check
// told to onCheck(level, node, hLeft, hRight) when it is given.
export function insertSteps(tree, a, onCheck, onTurn, onLevel) {
  const number = tree.count++;
  if (!tree.root) {
    tree.root = {a, left: null, right: null, number, h: 1};
    return insertionSteps(a, number, 0, []);
  }
  const turns = [];
  let level = 0;
  insert(a, tree, "root", number, {
    onRotate: (top, right) => {
      turns.push({level: level + 1, right, node: top.number});
      onTurn?.(level + 1, top, right);
    },
    onTrace: () => {
      level++;
      onLevel?.(level);
    },
    onCheck: onCheck && ((top, hLeft, hRight) => onCheck(level + 1, top, hLeft, hRight)),
  });
  return insertionSteps(a, number, level, turns);
}

export function lookupStep(tree, a) {
  const {way, found} = wayTo(a, tree.root);
  return {lookup: a, found: found !== null, way: way.map((t) => t.number)};
}

// The steps of a whole run, from its answers.
export function runSteps(values, lookup) {
  const tree = {root: null, count: 0};
  const steps = [];
  for (const a of values)
    for (const step of insertSteps(tree, a))
      steps.push(step);
  if (lookup !== null)
    steps.push(lookupStep(tree, lookup));
  return steps;
}

// The port's own copy of a replayed subtree.
export function portCopy(n) {
  return n && {a: n.a, number: n.number, h: n.height,
               left: portCopy(n.left), right: portCopy(n.right)};
}

// The port's own copy of a replayed tree, to go on from.
export function moduleTree(tree) {
  return {root: portCopy(tree.root), count: tree.nodes.length};
}
