// The predicting page's questions, on recorded runs: each kind graded right
// and wrong, and a guesser who always takes the first choice held under half.
import assert from "node:assert/strict";
import {existsSync, readdirSync, readFileSync} from "node:fs";
import {test} from "node:test";
import {readRecord} from "../spawndraw/page/record.js";
import {buildRun} from "../spawndraw/page/run.js";
import {firstChoice, graded, questionsOf, scoreOf, seedOf} from "../spawndraw/page/questions.js";

const {RECORDS, PACK} = process.env;
const asked = (name, dir = RECORDS) => {
  const text = readFileSync(`${dir}/${name}`, "latin1");
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
  const by = collected.filter((p) => / collected by$/.test(p.label));
  assert.equal(by.length, 3);
  for (const p of by)
    assert.equal(graded(p, String(run.procs[run.procs.findIndex((q) =>
      `${q.pid} was collected by` === p.label)].reaper)), true);
  for (const p of collected.filter((p) => / was$/.test(p.label))) {
    assert.equal(graded(p, p.right), true, p.label);
    assert.equal(graded(p, p.right === "both" ? "neither" : "both"), false, p.label);
  }
});

test("who wrote into a pipe and who read it, asked", () => {
  const {run, questions} = asked("pipeline.events");
  const program = (i) => run.procs[i].programs.at(-1);
  const parts = kind(questions, "pipes").parts;
  const wrote = parts.find((p) => / wrote into pipe 1, /.test(p.label));
  const read = parts.find((p) => / read from pipe 1, /.test(p.label));
  assert.deepEqual(["ls"], wrote.right.map(program));
  assert.deepEqual(["wc"], read.right.map(program));
  assert.equal(graded(read, read.right), true);
  assert.equal(graded(read, wrote.right), false);
  assert.match(wrote.why(), /: its write end was their descriptor 1, where the shell/);
  // A program's own pipe, read where it was made.
  const own = kind(asked("child-pipe.events").questions, "pipes").parts
    .find((p) => / read from pipe 1, /.test(p.label));
  assert.match(own.why(), /: its read end was their descriptor 3$/);
});

test("an orphan and a zombie are asked of as such", () => {
  // The orphan, adopted before it ended, was collected at once by init.
  for (const [name, what] of [["orphan.events", "orphan"], ["zombie.events", "zombie"]]) {
    const parts = kind(asked(name).questions, "collected").parts;
    assert.ok(parts.some((p) => / was$/.test(p.label) && graded(p, what)), name);
  }
});

test("taking the first choice everywhere scores under half", () => {
  const records = (dir) => readdirSync(dir).filter((f) => f.endsWith(".events"))
    .map((name) => [name, dir]);
  // The pack is made unless ptrace is refused, where it is left out.
  const all = [...records(RECORDS), ...(PACK && existsSync(PACK) ? records(PACK) : [])];
  for (const [name, dir] of all) {
    const {questions} = asked(name, dir);
    // Where the command made no process, "0" is a guess and right.
    if (kind(questions, "count").parts[0].right === 0)
      continue;
    const score = scoreOf(questions, questions.map((q) => q.parts.map(firstChoice)));
    const right = Object.values(score).reduce((n, s) => n + s.right, 0);
    const of = Object.values(score).reduce((n, s) => n + s.of, 0);
    assert.ok(right < of / 2, `${name}: ${right} of ${of}`);
  }
});
