// The page's own modules, without a browser, held to rotadraw itself: what
// the page says of answers is what rotadraw says, the page's numbers of a
// run are --summary's, a recorded run reads back as the module's steps,
// and undo takes back what apply did.
// Usage: node page_modules_test.mjs ROTADRAW
import {execFileSync, spawnSync} from "node:child_process";
import {mkdtempSync, readFileSync} from "node:fs";
import {tmpdir} from "node:os";
import {join} from "node:path";
import {test} from "node:test";
import assert from "node:assert/strict";

import {readAnswers, unreadWords} from "../rotadraw/page/answers.js";
import {countLevel, judge, newDrill, seededValues, turningLevels} from "../rotadraw/page/drill.js";
import {leastHeight, outOfBalance, runStats} from "../rotadraw/page/chart.js";
import {apply, newTree, undo} from "../rotadraw/page/replay.js";
import {runSteps} from "../rotadraw/page/runs.js";
import {readRecord} from "../rotadraw/page/steps.js";

const ROTADRAW = process.argv[2];
const work = mkdtempSync(join(tmpdir(), "page-modules-"));

function rotadraw(input, ...options) {
  return spawnSync(ROTADRAW, ["--last", ...options], {input, encoding: "utf8"});
}

// What the page says of answers, as rotadraw says it on standard error.
function pageSays(text) {
  const answers = readAnswers(text);
  return answers.failure ? `rotadraw: ${answers.failure}` : unreadWords(answers);
}

test("answers are read, and refused, as rotadraw reads them", () => {
  const rows = [
    ["1 2147483647 -2147483648", ""],
    ["1 -2147483648 2147483647", ""],
    ["1 2147483648 1", "rotadraw: element 1: out of range"],
    ["2 1 -2147483649", "rotadraw: element 2: out of range"],
    ["1 1 2147483648", "rotadraw: element to search: out of range"],
    ["3 1 x 2", "rotadraw: element 2: not a number"],
    ["3 1 2", "rotadraw: element 3: end of input"],
    ["1 5", ""],
    ["1 5 5 +7 -8", "rotadraw: 2 numbers after the element to search were not read"],
    ["1 5 5 7 x", "rotadraw: 2 answers after the element to search were not read"],
    [`1 5 5 ${"7".repeat(31)}x`, "rotadraw: 1 answer after the element to search was not read"],
    ["1 5 5 +", "rotadraw: 1 answer after the element to search was not read"],
  ];
  for (const [text, said] of rows) {
    assert.equal(pageSays(text), said, `the page, on ${text}`);
    assert.equal(rotadraw(text).stderr, said ? `${said}\n` : "", `rotadraw, on ${text}`);
  }
});

test("the least possible height, in whole numbers", () => {
  assert.deepEqual([1, 3, 4, 7, 8, 300, 2147483647].map(leastHeight), [1, 2, 3, 3, 4, 9, 31]);
});

// A shuffle of 1..n, the same every run.
function shuffled(n) {
  const v = Array.from({length: n}, (_, i) => i + 1);
  let seed = 7;
  for (let i = n - 1; i > 0; i--) {
    seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
    const j = seed % (i + 1);
    [v[i], v[j]] = [v[j], v[i]];
  }
  return v;
}

const runs = [shuffled(300), Array.from({length: 40}, (_, i) => i), [5, 5, 5, 5, 5], [1, 3, 2]];

test("the page's numbers of a run are --summary's", () => {
  for (const values of runs) {
    const stats = runStats(runSteps(values, null)), ins = stats.insertions;
    const left = outOfBalance(stats.tree);
    const last = ins[ins.length - 1];
    const rotations = ins.reduce((sum, r) => sum + r.rotations, 0);
    const kept = ins.reduce((sum, r) => sum + r.heightKept, 0);
    const out = rotadraw(`${values.length} ${values.join(" ")} 1`, "--summary").stdout;
    assert.equal(out.slice(out.indexOf("== summary\n")),
                 `== summary\nvalues: ${values.length}, rotations: ${rotations}` +
                 (kept ? ` (${kept} left the subtree's height as it was)` : "") + "\n" +
                 `height: ${last.height} (least possible ${last.least}; ` +
                 `without rotations ${last.plain})\n` +
                 `out of balance at the end: ${left} node${left === 1 ? "" : "s"}\n`);
  }
});

test("a recorded run reads back as the module's steps", () => {
  for (const values of runs) {
    const page = join(work, "page.html");
    execFileSync(ROTADRAW, ["--last", "--html", page],
                 {input: `${values.length} ${values.join(" ")} ${values[0]}`, stdio: "pipe"});
    const html = readFileSync(page, "utf8");
    const start = html.indexOf('id="run">\n') + 'id="run">\n'.length;
    const record = readRecord(html.slice(start, html.indexOf("</script>", start)));
    assert.deepEqual(record.steps, runSteps(values, values[0]));
    assert.equal(record.failure, null);
  }
});

function shape(t) {
  return !t ? "" : !t.left && !t.right ? String(t.a) :
    `${t.a}(${shape(t.left)},${shape(t.right)})`;
}

test("undo takes back each step that apply made", () => {
  const steps = runSteps(shuffled(300), 150);
  const tree = newTree(), shapes = [];
  for (const step of steps) {
    shapes.push(`${shape(tree.root)} ${tree.root?.height ?? 0}`);
    apply(tree, step);
  }
  for (let k = steps.length - 1; k >= 0; k--) {
    undo(tree, steps[k]);
    assert.equal(`${shape(tree.root)} ${tree.root?.height ?? 0}`, shapes[k], `step ${k + 1}`);
  }
});

// What pressing only "No more turns" scores: every level that turns missed.
function guessed(steps) {
  const d = newDrill(steps);
  while (d.at < d.levels.length) {
    judge(d, {done: true});
    countLevel(d);
  }
  return d.score;
}

test("every seed's exercise turns at 3 levels or more, and guessing can't pass it", () => {
  for (let i = 0; i < 200; i++) {
    const steps = runSteps(seededValues(`week${i}`), null);
    assert.ok(turningLevels(steps) >= 3, `week${i}`);
    const score = guessed(steps);
    assert.equal(score.turns, 0);
    assert.equal(score.flat, score.flats);
  }
});
