// The tree module, in the page: rotatree's own insertion, rebalancing and
// lookup, move for move, so that a reader's own values go in as rotatree would
// put them in.

/* Nodes are {a, left, right, number, h}; a link is the object that holds
   a subtree and the name of its field. The module takes every height
   afresh by walking the subtree; here each node keeps its own in h,
   mended as soon as anything below it changes, so that each check costs
   one look rather than a walk, and finds the same number. A test keeps
   this equal to the module on thousands of runs. */

// The height of the subtree at top: 0 when empty, 1 for a leaf.
export function heightOf(top) {
  return top ? top.h : 0;
}

function mend(t) {
  t.h = 1 + Math.max(heightOf(t.left), heightOf(t.right));
}

// The way down, everywhere: a value greater than the node's goes right,
// and one that is equal or less goes left.
export function goesRight(node, a) {
  return node.a < a;
}

function rotateRight(top, hooks) {
  hooks.onRotate(top, true);
  const l = top.left;
  top.left = l.right;
  l.right = top;
  mend(top);
  mend(l);
  return l;
}

function rotateLeft(top, hooks) {
  hooks.onRotate(top, false);
  const r = top.right;
  top.right = r.left;
  r.left = top;
  mend(top);
  mend(r);
  return r;
}

// The heights are taken once, before any rotation. A subtree that leans
// right rotates at most at its root and is not descended into; any other
// has both children of its (possibly new) root balanced in turn. Each node
// checked is told to hooks.onCheck, when there is one, before it acts.
export function balancer(top, hooks) {
  if (!top)
    return null;
  const hLeft = heightOf(top.left), hRight = heightOf(top.right);
  if (hooks.onCheck)
    hooks.onCheck(top, hLeft, hRight);
  if (hLeft > hRight && hRight + 1 < hLeft)
    top = rotateRight(top, hooks);
  if (hLeft < hRight) {
    if (hLeft + 1 < hRight)
      top = rotateLeft(top, hooks);
  } else {
    top.left = balancer(top.left, hooks);
    top.right = balancer(top.right, hooks);
  }
  mend(top);
  return top;
}

// Each level rebalances on the way back up, the deepest first, and then
// traces.
export function insert(a, holder, field, number, hooks) {
  const t = holder[field];
  const side = goesRight(t, a) ? "right" : "left";
  if (t[side])
    insert(a, t, side, number, hooks);
  else
    t[side] = {a, left: null, right: null, number, h: 1};
  holder[field] = balancer(t, hooks);
  hooks.onTrace();
}

// The nodes search passes on its way down to a, and the one holding a, or
// null.
export function wayTo(a, top) {
  const way = [];
  for (; top; top = goesRight(top, a) ? top.right : top.left) {
    way.push(top);
    if (top.a === a)
      return {way, found: top};
  }
  return {way, found: null};
}
