// The page's own insertion against the tree module's, on thousands of runs
// of values (ascending, descending, zigzag, random, many duplicates, the
// 32-bit extremes): every step's shape must be the same, and so must the
// nodes its balancing checked, with their heights, in order.
// Usage: node port_test.mjs TREE_SHAPES
import {execFileSync} from "node:child_process";

import {insertionChecks} from "../rotadraw/page/explain.js";
import {apply, newTree} from "../rotadraw/page/replay.js";
import {runSteps} from "../rotadraw/page/runs.js";

function shape(t) {
  if (!t)
    return "";
  if (!t.left && !t.right)
    return String(t.a);
  return `${t.a}(${shape(t.left)},${shape(t.right)})`;
}

// The page's shapes, one a step: its own insertion's steps, replayed as
// the page replays them, each with the checks that the page's port makes
// at that step, as the page works them out for its explanations.
function pageShapes(values) {
  const tree = newTree();
  const port = {root: null, count: 0};
  const checks = values.flatMap((a) => {
    const {levels} = insertionChecks(port, a);
    return levels.length ? levels : [[]];
  });
  return runSteps(values, null).map((step, k) => {
    apply(tree, step);
    return shape(tree.root) +
      checks[k].map((c) => ` ${c.a}:${c.hLeft},${c.hRight}`).join("");
  });
}

// A 32-bit generator, exact in doubles, drawing from its high bits.
let seed = 2026;
function random(n) {
  seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
  return Math.floor((seed / 4294967296) * n);
}

const runs = [];
for (let n = 1; n <= 40; n++) {
  const up = Array.from({length: n}, (_, i) => i + 1);
  runs.push(up, up.slice().reverse(),
            up.map((v, i) => (i % 2 ? n - v : v)),
            up.map((v, i) => (i % 2 ? -v : v) * 1000));
}
for (let k = 0; k < 3000; k++) {
  const n = 1 + random(k % 10 === 0 ? 150 : 30);
  const spread = [3, 10, 1000, 4294967296][k % 4];
  runs.push(Array.from({length: n}, () => random(spread) - Math.floor(spread / 2)));
}
// The runs cover what they say: lengths of both parities, values spread
// over their range, both signs in the widest.
const drawn = runs.slice(160);
const share = (list, test) => list.filter(test).length / list.length;
const spreads = (k) => drawn.filter((_, i) => i % 4 === k).flat();
const spreadChecks = [
  ["runs of odd length", share(drawn, (r) => r.length % 2), 0.4, 0.6],
  ["values of 1000 that are multiples of 8", share(spreads(2), (v) => v % 8 === 0), 0.08, 0.17],
  ["32-bit values that are negative", share(spreads(3), (v) => v < 0), 0.4, 0.6],
];
for (const [what, got, low, high] of spreadChecks)
  if (!(got >= low && got <= high)) {
    console.error(`the generator is skewed: ${what}: ${got.toFixed(3)}`);
    process.exit(1);
  }
runs.push([2147483647, -2147483648, 0, -1, 2147483647, -2147483648, 2147483646]);
runs.push(Array(60).fill(-2147483648));

const made = execFileSync(process.argv[2], {
  input: runs.map((r) => r.join(" ")).join("\n") + "\n",
  maxBuffer: 1 << 30,
}).toString().split("\n\n");

let steps = 0;
runs.forEach((values, k) => {
  const want = made[k].split("\n").filter((l) => l !== "");
  const got = pageShapes(values);
  for (let i = 0; i < Math.max(want.length, got.length); i++)
    if (want[i] !== got[i]) {
      console.error(`values ${values.join(" ")}\nstep ${i + 1}: the tree ` +
                    `module makes ${want[i]}\nbut the page makes ${got[i]}`);
      process.exit(1);
    }
  steps += want.length;
});
console.log(`${runs.length} runs, ${steps} steps: the page inserts as the tree module does`);
