// The recorded run, read into steps, what kind of step each is, and how the
// text drawing heads it.

/* Each line of the record is one insertion: "VALUE LEVELS", then for each
   rotation LEVEL, "l" or "r", NODE: at that level of the insertion's
   trace, counted from the deepest, the node numbered NODE turned left or
   right. Nodes are numbered as they are made, so the insertion on line k
   makes node k. "? VALUE FOUND NODE..." is the lookup and the nodes on its
   way down; "! WHY" says why the answers fell short.

   A step is what the text draws one picture of: the first value
   ({value, node, level: 0, levels: 0, turns}), one level of an insertion
   ({value, node, level, levels, turns}, each turn {node, right}), or the
   lookup ({lookup, found, way}). */

export function readRecord(text) {
  const steps = [];
  let failure = null;
  let node = 0;
  for (let at = 0; at < text.length;) {
    let end = text.indexOf("\n", at);
    if (end < 0)
      end = text.length;
    const line = text.slice(at, end).trim();
    at = end + 1;
    if (line === "")
      continue;
    if (line[0] === "!") {
      failure = line.slice(2);
      continue;
    }
    const f = line.split(" ");
    if (f[0] === "?") {
      steps.push({lookup: Number(f[1]), found: f[2] === "1",
                  way: f.slice(3).map(Number)});
      continue;
    }
    const turns = [];
    for (let i = 2; i < f.length; i++)
      turns.push(readTurn(f[i]));
    for (const step of insertionSteps(Number(f[0]), node++, Number(f[1]), turns))
      steps.push(step);
  }
  return {steps, failure};
}

// "LEVELrNODE" or "LEVELlNODE", as rotadraw writes them.
function readTurn(t) {
  const j = Math.max(t.indexOf("r"), t.indexOf("l"));
  return {level: Number(t.slice(0, j)), right: t[j] === "r", node: Number(t.slice(j + 1))};
}

// Most steps turn nothing, and share one empty list.
const NO_TURNS = Object.freeze([]);

export function insertionSteps(value, node, levels, turns) {
  if (levels === 0)
    return [{value, node, level: 0, levels: 0, turns: NO_TURNS}];
  const byLevel = [];
  for (const t of turns)
    (byLevel[t.level] ??= []).push(t);
  const steps = [];
  for (let level = 1; level <= levels; level++)
    steps.push({value, node, level, levels, turns: byLevel[level] ?? NO_TURNS});
  return steps;
}

export function isLookup(step) {
  return step.lookup !== undefined;
}

// The first value's step, or an insertion's deepest level: the one that
// hangs the new node in the tree.
export function makesNode(step) {
  return !isLookup(step) && step.level <= 1;
}

// The last step of an insertion: the tree as the insertion leaves it.
export function endsInsertion(step) {
  return !isLookup(step) && step.level === step.levels;
}

export function turnsOf(step) {
  return isLookup(step) ? [] : step.turns;
}

// The value of each node, by its number.
export function nodeValues(steps) {
  const values = [];
  for (const s of steps)
    if (makesNode(s))
      values[s.node] = s.value;
  return values;
}

// A step's heading, as the text drawing heads its picture.
export function headingOf(step, values) {
  if (isLookup(step))
    return `== search ${step.lookup}: ${step.found ? "found" : "not found"}`;
  if (step.levels === 0)
    return `== insert ${step.value}: the first value, the root`;
  const turns = step.turns.map((t, i) =>
    `${i === 0 ? "rotated " : ""}${t.right ? "right" : "left"} at ${values[t.node]}`);
  return `== insert ${step.value} (step ${step.level} of ${step.levels}): ` +
         (turns.length ? turns.join(", ") : "no rotation");
}
