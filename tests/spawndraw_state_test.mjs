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

test("a pipe's ends above 2 are in the table of its maker and its child, to their close", () => {
  const piped = buildRun(readRecord(["spawndraw-events\t4", "1\t0\t10\tbegin\tfiltered\tx",
    "2\t1\t10\tpipe\tpipe 1\t3\t4\tfollowed", "3\t2\t10\tfork\t11", "4\t3\t10\tfd\t4\tclosed\tpipe 1",
    "5\t4\t11\texec\t/bin/cat\t0\t1\tcat", "6\t5\t11\tfd\t3\tclosed\tpipe 1\texec",
    "7\t6\t12\tpipe\tpipe 2\t5\t6\tunfollowed"].join("\n")));
  const [parent, child] = [10, 11].map((pid) => piped.procs.findIndex((p) => p.pid === pid));
  const at = (k, i) => stateAt(piped, k)[i];
  assert.deepEqual([at(2, child).fds[3], at(2, child).reads[3], at(2, child).fds[4]],
                   ["pipe 1", true, "pipe 1"]);
  assert.equal(at(3, parent).fds[4], "");
  assert.equal(at(3, child).fds[4], "pipe 1");
  assert.equal(at(4, child).fds[3], "pipe 1");
  assert.equal(at(5, child).fds[3], "");
  // Ends whose closes are not followed are not shown.
  assert.equal(at(6, piped.procs.findIndex((p) => p.pid === 12)).fds[5], undefined);
});
