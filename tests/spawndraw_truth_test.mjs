// For every recorded run, the page's state and output at each event are
// what the terminal's drawing makes of the same record.
import assert from "node:assert/strict";
import {execFileSync} from "node:child_process";
import {readdirSync, readFileSync} from "node:fs";
import {test} from "node:test";
import {linesUpTo, outputLines} from "../spawndraw/page/output.js";
import {readRecord, unescape} from "../spawndraw/page/record.js";
import {buildRun} from "../spawndraw/page/run.js";
import {stateAt} from "../spawndraw/page/state.js";
import {copiedLines} from "../spawndraw/page/buffered.js";

const {STATES, RECORDS} = process.env;
const records = readdirSync(RECORDS).filter((f) => f.endsWith(".events"));

for (const name of records) {
  test(name, () => {
    const path = `${RECORDS}/${name}`;
    const want = execFileSync(STATES, [path], {encoding: "latin1"}).split("\n")
      .filter(Boolean).map((l) => l.split("\t"));
    const run = buildRun(readRecord(readFileSync(path, "latin1")));
    const lines = outputLines(run);
    const pidOf = (i) => run.procs[i].pid;
    const states = [];
    for (let k = 0; k < run.events.length; k++)
      stateAt(run, k).forEach((s, i) => {
        const p = run.procs[i];
        const parent = s.adoptedBy || (p.parent >= 0 ? pidOf(p.parent) : 0);
        states.push(["state", k, p.pid, +s.made, +s.ended, +(s.ended && !s.gone && !!p.zombie),
          +s.gone, parent].join("\t"));
      });
    assert.deepEqual(states, want.filter((w) => w[0] === "state").map((w) => w.join("\t")));
    const wantLines = want.filter((w) => w[0] === "line");
    assert.deepEqual(lines.map((l) => [l.event, pidOf(l.proc), Number(l.fd), +!!l.cut, l.where,
      l.bytes]),
      wantLines.map((w) => [Number(w[1]), Number(w[2]), Number(w[4]), Number(w[5]),
        unescape(w[6]), unescape(w[7] ?? "")]));
    assert.deepEqual(copiedLines(run).map((c) => [pidOf(c.origin), c.line, ...c.writes]),
      want.filter((w) => w[0] === "copied").map((w) => [Number(w[1]), unescape(w[2]),
        ...w.slice(3).map(Number)]));
    for (let k = 0; k < run.events.length; k++)
      assert.equal(linesUpTo(lines, k), wantLines.filter((w) => Number(w[1]) <= k).length,
        `the lines shown at event ${k}`);
  });
}
