// The predicting page's questions, on recorded runs: each kind graded right
// and wrong, and a guesser who always takes the first choice held under half.
import assert from "node:assert/strict";
import {readdirSync, readFileSync} from "node:fs";
import {test} from "node:test";
import {readRecord} from "../spawndraw/page/record.js";
import {buildRun} from "../spawndraw/page/run.js";
import {firstChoice, graded, questionsOf, scoreOf, seedOf} from "../spawndraw/page/questions.js";

const {RECORDS} = process.env;
const asked = (name) => {
  const text = readFileSync(`${RECORDS}/${name}`, "latin1");
  const run = buildRun(readRecord(text));
  return {run, questions: questionsOf(run, [], seedOf(text))};
};
const kind = (questions, k) => questions.find((q) => q.kind === k);

test("each kind graded right and wrong", () => {
  // forkfork: two forks; the first child forks too.
  const {run, questions} = asked("forkfork.events");
  const pid = (i) => run.procs[i].pid;
  const count = kind(questions, "count").parts[0];
  assert.equal(graded(count, 3), true);
  assert.equal(graded(count, 4), false);

  const tree = kind(questions, "tree").parts;
  assert.equal(tree.length, 2, "the first child, the command's only choice, is not asked");
  const grandchild = tree.find((p) => p.right !== run.command);
  const wrong = grandchild.choices.find((c) => c.value !== grandchild.right).value;
  assert.equal(graded(grandchild, String(grandchild.right)), true);
  assert.equal(graded(grandchild, String(wrong)), false);
  assert.match(grandchild.why(wrong),
               new RegExp(`was made by ${pid(grandchild.right)}'s first fork, not by ${pid(wrong)}`));

  for (const p of kind(questions, "writers").parts) {
    assert.equal(graded(p, [...p.right].reverse()), true);
    assert.equal(graded(p, [...p.right, run.command === p.right[0] ? run.root : run.command]),
                 false);
  }
  // Into a pipe, the line before the forks, copied by each fork, was
  // written by all four.
  const copied = kind(asked("buffered.events").questions, "writers").parts
    .find((p) => p.right.length === 4);
  assert.ok(copied);
  assert.equal(graded(copied, copied.right.slice(0, -1)), false);

  const orders = kind(questions, "orders").parts;
  assert.ok(orders.some((p) => p.right === false) && orders.some((p) => p.right === true));
  for (const p of orders) {
    assert.equal(graded(p, p.right), true);
    assert.equal(graded(p, !p.right), false);
  }
  assert.ok(orders.some((p) => /^Not possible: .* had to come after .*: \d+ wrote it before it forked \d+$/
    .test(p.why())), orders.map((p) => p.why()).join("\n"));

  const collected = kind(questions, "collected").parts;
  const by = collected.filter((p) => p.type === "choice");
  assert.equal(by.length, 3);
  for (const p of by)
    assert.equal(graded(p, String(run.procs[run.procs.findIndex((q) =>
      `${q.pid} was collected by` === p.label)].reaper)), true);
  assert.equal(graded(collected.find((p) => p.type === "multi"), ["zombie"]), false);
});

test("an orphan and a zombie are asked of as such", () => {
  for (const [name, what] of [["orphan.events", "orphan"], ["zombie.events", "zombie"]]) {
    const parts = kind(asked(name).questions, "collected").parts;
    assert.ok(parts.some((p) => p.type === "multi" && p.right.includes(what)), name);
  }
});

// Where the command made two processes or more: of one, a question has two
// choices or fewer, and a guess is as good as half.
test("taking the first choice everywhere scores under half", () => {
  for (const name of readdirSync(RECORDS).filter((f) => f.endsWith(".events"))) {
    const {questions} = asked(name);
    if (kind(questions, "count").parts[0].right < 2)
      continue;
    const score = scoreOf(questions, questions.map((q) => q.parts.map(firstChoice)));
    const right = Object.values(score).reduce((n, s) => n + s.right, 0);
    const of = Object.values(score).reduce((n, s) => n + s.of, 0);
    assert.ok(right < of / 2, `${name}: ${right} of ${of}`);
  }
});
