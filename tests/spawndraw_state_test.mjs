// Where spawndraw's page stands at event k: what the event did is in.
import assert from "node:assert/strict";
import {test} from "node:test";
import {linesUpTo, outputLines} from "../spawndraw/page/output.js";
import {readRecord} from "../spawndraw/page/record.js";
import {buildRun} from "../spawndraw/page/run.js";
import {stateAt} from "../spawndraw/page/state.js";

const text = ["spawndraw-events\t2", "1\t0\t10\tbegin\tfiltered\tx", "2\t1\t10\tfork\t11",
  "3\t2\t11\twrite\t1\t2\ta\\x0a", "4\t3\t11\tfork\t12", "5\t4\t12\twrite\t1\t2\tb\\x0a",
  "6\t5\t12\texit\texited\t0", "7\t6\t11\twaited\t12\texited\t0", "8\t7\t12\treaped\t11"].join("\n");
const run = buildRun(readRecord(text));

test("a process made at event k is made at k, not before", () => {
  const child = run.procs.findIndex((p) => p.pid === 12);
  assert.equal(stateAt(run, 3)[child].made, true);
  assert.equal(stateAt(run, 2)[child].made, false);
  assert.equal(stateAt(run, 7)[child].gone, true);
  assert.equal(stateAt(run, 6)[child].gone, false);
});

test("the line written at event k is shown at k", () => {
  const lines = outputLines(run);
  assert.equal(linesUpTo(lines, 4), 2);
  assert.equal(linesUpTo(lines, 3), 1);
  assert.equal(linesUpTo(lines, 1), 0);
});
