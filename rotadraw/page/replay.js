// The replay: the tree as the steps leave it, each step applied or taken back
// with the same moves.

import {goesRight} from "./port.js";
import {isLookup, makesNode} from "./steps.js";

/* Nodes are {a, number, left, right, up, height}. A step hangs a new node
   where insert sends its value, and makes single rotations. Each node
   keeps its height (a leaf's is 1), mended on the way up from what moved,
   so the tree's height is its root's at any step. */

export function newTree() {
  return {root: null, nodes: []};
}

function ownHeight(n) {
  return 1 + Math.max(n.left ? n.left.height : 0, n.right ? n.right.height : 0);
}

function mendHeights(n) {
  for (; n; n = n.up) {
    const h = ownHeight(n);
    if (h === n.height)
      return;
    n.height = h;
  }
}

export function attach(tree, number, a) {
  const n = {a, number, left: null, right: null, up: null, height: 1};
  let right = false;
  for (let p = tree.root; p; p = right ? p.right : p.left) {
    n.up = p;
    right = goesRight(p, a);
  }
  if (!n.up)
    tree.root = n;
  else if (right)
    n.up.right = n;
  else
    n.up.left = n;
  tree.nodes[number] = n;
  mendHeights(n.up);
  return n;
}

function detach(tree, n) {
  if (!n.up)
    tree.root = null;
  else if (n.up.left === n)
    n.up.left = null;
  else
    n.up.right = null;
  tree.nodes.length = n.number;
  mendHeights(n.up);
}

// Turns x right (its left child rising) or left; returns the child that
// rose into its place.
export function rotate(tree, x, right) {
  const r = right ? x.left : x.right;
  const crossing = right ? r.right : r.left;
  if (right) {
    x.left = crossing;
    r.right = x;
  } else {
    x.right = crossing;
    r.left = x;
  }
  if (crossing)
    crossing.up = x;
  r.up = x.up;
  x.up = r;
  if (!r.up)
    tree.root = r;
  else if (r.up.left === x)
    r.up.left = r;
  else
    r.up.right = r;
  x.height = ownHeight(x);
  r.height = ownHeight(r);
  mendHeights(r.up);
  return r;
}

// What a step marks: the node it made and every node a rotation moved (the
// one turned, the child that rose, the grandchild that crossed), and of
// each rotation, the node turned and the one risen; by their numbers.
export function newMarks() {
  return {moved: new Set(), pivots: new Set(), risers: new Set()};
}

// Applies a step, noting what it marks in `marks` when given. Returns how
// many of its turns left their subtree's height as it was.
export function apply(tree, step, marks) {
  if (isLookup(step))
    return 0;
  if (makesNode(step)) {
    const n = attach(tree, step.node, step.value);
    if (marks)
      marks.moved.add(n.number);
  }
  let kept = 0;
  for (const t of step.turns) {
    const x = tree.nodes[t.node];
    const crossing = t.right ? x.left.right : x.right.left;
    const before = x.height;
    const r = rotate(tree, x, t.right);
    kept += r.height === before;
    if (!marks)
      continue;
    for (const n of [x, r, crossing])
      if (n)
        marks.moved.add(n.number);
    marks.pivots.add(x.number);
    marks.risers.add(r.number);
  }
  return kept;
}

export function undo(tree, step) {
  if (isLookup(step))
    return;
  for (let i = step.turns.length - 1; i >= 0; i--) {
    const x = tree.nodes[step.turns[i].node];
    rotate(tree, x.up, !step.turns[i].right);
  }
  if (makesNode(step))
    detach(tree, tree.nodes[step.node]);
}

// A tree of its own, as the tree given stands.
export function copyTree(tree) {
  const copy = newTree();
  const copyOf = (n, up) => {
    if (!n)
      return null;
    const c = {a: n.a, number: n.number, left: null, right: null, up, height: n.height};
    copy.nodes[n.number] = c;
    c.left = copyOf(n.left, c);
    c.right = copyOf(n.right, c);
    return c;
  };
  copy.root = copyOf(tree.root, null);
  copy.nodes.length = tree.nodes.length;
  return copy;
}

// The tree of a replay at step `at`, moved on to step k, as a tree of its
// own.
export function treeAt(steps, tree, at, k) {
  const copy = copyTree(tree);
  while (at < k)
    apply(copy, steps[++at]);
  return copy;
}
