// What a step did, in words: at a level of an insertion, what the balancing
// checked, with the heights it took, and why it turned or stopped; at the
// lookup, its way down. The same words as rotadraw --explain, without the
// leading "-- ". The checks are worked out again by the port, which a test
// holds to the module's own. And the tree itself in words.

import {balancer, heightOf} from "./port.js";
import {insertSteps, portCopy} from "./runs.js";

// What a check decided, or null for one that only goes on down.
export function verdictOf(check) {
  const {hLeft, hRight} = check;
  const did = hRight + 1 < hLeft ? "turned right" :
    hLeft + 1 < hRight ? "turned left; nothing below it is checked" :
    hLeft + 1 === hRight ? "leans right by 1; nothing below it is checked" : null;
  return turns(check) ? did + heightWords(check) + (check.offWay != null ?
    offWay(check.offWay) : "") : did;
}

// Whether the check turned its node.
function turns(check) {
  return Math.abs(check.hLeft - check.hRight) > 1;
}

// What a turn did to the subtree's height: a single turn lowers it, unless
// the rising child's taller subtree was on the inside, where the turn only
// mirrors it, or its two subtrees were as tall.
function heightWords({hLeft, hRight, after, inner, outer}) {
  const before = 1 + Math.max(hLeft, hRight);
  if (after !== before)
    return `; the subtree's height ${before} \u2192 ${after}`;
  return `; the height stays ${before}: ` + (inner > outer ?
    "the taller grandchild was on the inside, and a single turn only mirrors that" :
    "the grandchildren below the rising child were as tall, and the one that " +
    "crosses stays as deep");
}

// A check as the explanations take it, from the port's node as the
// balancing finds it: for a turn, the heights below the rising child and
// the subtree's height after the turn.
function checkOf(t, hLeft, hRight) {
  const check = {number: t.number, a: t.a, hLeft, hRight};
  if (!turns(check))
    return check;
  const right = hLeft > hRight;
  const rises = right ? t.left : t.right;
  const outer = heightOf(right ? rises.left : rises.right);
  const inner = heightOf(right ? rises.right : rises.left);
  const other = heightOf(right ? t.right : t.left);
  return {...check, outer, inner, after: 1 + Math.max(outer, 1 + Math.max(inner, other))};
}

// What a turn away from the new value's way says of it.
const offWay = (a) => `; it is off ${a}'s way down: the balancing goes down both sides of ` +
  "every node that doesn't lean right, and so came to it";

// Inserting a into the port's tree: its steps, and the checks of each of
// its levels, the deepest level first: {number, a, hLeft, hRight} in the
// order made. The last level, which balanced the whole tree, also holds
// what it left out of balance, in words (undone).
export function insertionChecks(tree, a) {
  const levels = [], way = new Set();
  for (let t = tree.root; t; t = t.a < a ? t.right : t.left)
    way.add(t);
  // Where the balancing left a subtree alone, by level: a node that rose in
  // a turn, and the subtrees below which nothing was checked.
  const alone = [];
  const at = (level) => (alone[level - 1] ??= {risers: [], stops: []});
  const steps = insertSteps(tree, a, (level, top, hLeft, hRight) => {
    (levels[level - 1] ??= []).push({...checkOf(top, hLeft, hRight),
                                      offWay: way.has(top) ? null : a});
    if (hLeft + 1 === hRight)
      at(level).stops.push({root: top, at: top});
  }, (level, top, right) => {
    const rises = right ? top.left : top.right;
    at(level).risers.push({node: rises, at: top});
    if (!right)
      at(level).stops.push({root: rises, at: top});
    const moved = at(level).moved ??= [];
    for (const n of [top, rises, right ? rises.right : rises.left])
      if (n && !moved.includes(n))
        moved.push(n);
  }, (level) => {
    // Where it turned, each node it moved, as it now stands.
    const moved = alone[level - 1]?.moved;
    if (moved && levels[level - 1])
      levels[level - 1].after = "after the turns: " + moved.map((n) =>
        `${n.a}: left ${heightOf(n.left)}, right ${heightOf(n.right)}`).join("; ");
  });
  if (levels.length) {
    const last = levels[levels.length - 1];
    last.undoneNodes = new Set();
    last.undone = undoneLines(tree.root, at(levels.length), last.undoneNodes);
  }
  return {steps, levels};
}

// Each node of the tree out of balance, in the order of the values, and
// why the balancing left it so: it rose in a turn, which is not checked
// again; or it lies below where the balancing stopped; or its heights were
// taken before a turn below it lowered one side.
function undoneLines(root, {risers, stops}, numbers) {
  const lines = [], above = [];
  const rose = new Map(risers.map((x) => [x.node, x.at]));
  const stopAt = new Map();
  for (const s of stops)
    if (!stopAt.has(s.root))
      stopAt.set(s.root, s.at);
  const walk = (n) => {
    if (!n)
      return;
    above.push(n);
    walk(n.left);
    above.pop();
    const l = heightOf(n.left), r = heightOf(n.right);
    if (Math.abs(l - r) > 1) {
      numbers.add(n.number);
      const turn = rose.get(n);
      let below = -1;
      for (let k = above.length - 1; !turn && below < 0 && k >= 0; k--)
        if (stopAt.has(above[k]))
          below = k;
      const stop = below >= 0 ? {root: above[below], at: stopAt.get(above[below])} : null;
      lines.push(`${n.a} (left ${l}, right ${r}) stays out of balance: ` + (turn ?
        `it rose in the turn at ${turn.a}, and the balancing doesn't come back to it` :
        stop && stop.at === stop.root ? `the balancing stopped at ${stop.at.a}, which ` +
          "leans right by 1, and checks nothing below it" :
        stop ? `below the left turn at ${stop.at.a} nothing is checked` :
        "its heights were taken before a turn below it lowered a side"));
    }
    above.push(n);
    walk(n.right);
    above.pop();
  };
  walk(root);
  return lines;
}

// The checks that one level's balancing makes of a replayed subtree as it
// stands, in the order made, worked out on a copy: the subtree is left as
// it is.
export function balancingChecks(top) {
  const checks = [];
  balancer(portCopy(top), {
    onRotate: () => {},
    onCheck: (t, hLeft, hRight) => checks.push(checkOf(t, hLeft, hRight)),
  });
  return checks;
}

// How many of a quiet step's checks are named.
const NAMED_MOST = 12;

// A level's checks: those that turned or stopped, then how many in all.
export function checkLines(checks) {
  const lines = [];
  for (const c of checks) {
    const verdict = verdictOf(c);
    if (verdict)
      lines.push(`${c.a}: left ${c.hLeft}, right ${c.hRight}: ${verdict}`);
  }
  if (!checks.some(turns))
    lines.push("nothing turned: every node checked had heights that differ by at most " +
               "1, or leaned right by 1");
  // A quiet step names what it checked.
  const named = checks.some(turns) ? "" : `: ${checks.slice(0, NAMED_MOST).map((c) => c.a)
    .join(", ")}${checks.length > NAMED_MOST ? ", ..." : ""}`;
  lines.push(`checked ${checks.length} node${checks.length === 1 ? "" : "s"}` +
             (checks.length ? named : ""));
  return [...lines, ...(checks.after ? [checks.after] : []), ...(checks.undone ?? [])];
}

// The lookup's way down, a line a node; `values` by node number.
export function wayLines(step, values) {
  const lines = step.way.map((n, i) => {
    const v = values[n];
    if (step.found && i === step.way.length - 1)
      return `${v}: found`;
    return `${v}: ${step.lookup} is ${v < step.lookup ? "greater: right" : "less: left"}`;
  });
  if (!step.found)
    lines.push("not found");
  return lines;
}

// The tree in words, for a screen reader: its root, then each node with
// children, and what they are. A tree too big to name node by node is
// told by its size.
const NAMED_NODES_MAX = 2000;

export function treeWords(tree) {
  const n = tree.nodes.length;
  if (!tree.root)
    return "The tree is empty.";
  if (n > NAMED_NODES_MAX)
    return `The tree holds ${n} values, ${tree.root.height} levels deep; ` +
      `its root is ${tree.root.a}.`;
  const words = [`The tree's root is ${tree.root.a}.`];
  const stack = [tree.root];
  while (stack.length) {
    const t = stack.pop();
    const sides = [t.left && `left ${t.left.a}`, t.right && `right ${t.right.a}`]
      .filter(Boolean);
    if (sides.length)
      words.push(`${t.a}: ${sides.join(", ")}.`);
    for (const c of [t.right, t.left])
      if (c)
        stack.push(c);
  }
  return words.join(" ");
}
