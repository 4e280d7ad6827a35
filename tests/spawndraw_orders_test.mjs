// The orders the output of a run could have come in, worked out by
// spawndraw's page, on small runs whose answers are known by hand.
import assert from "node:assert/strict";
import {test} from "node:test";
import {readRecord} from "../spawndraw/page/record.js";
import {buildRun} from "../spawndraw/page/run.js";
import {ORDER_BOUND, before, countOrders, otherOrder, pairs, whereFrom, writeClocks}
  from "../spawndraw/page/orders.js";

// A run from lines of "PID KIND DETAIL...", spawndraw (pid 10) running
// the command as 11.
function run(...lines) {
  const all = ["10 begin filtered cmd", "10 fork 11", ...lines];
  const text = "spawndraw-events\t1\n" +
    all.map((l, i) => `${i + 1}\t${i}\t${l.split(" ").join("\t").replace(/pipe_/g, "pipe ")}`)
      .join("\n") + "\n";
  const r = buildRun(readRecord(text));
  return {r, clocks: writeClocks(r)};
}
const end = (pid, parent) => [`${pid} exit exited 0`, `${parent} waited ${pid} exited 0`];
const pidsOf = ({r}, pair) => [r.procs[pair.a].pid, r.procs[pair.b].pid, pair.forced];

test("two children that nothing orders: two orders, the other one swapped", () => {
  const x = run("11 fork 12", "11 fork 13", "12 write 1 2 a\\x0a", "13 write 1 2 b\\x0a",
                ...end(12, 11), ...end(13, 11));
  assert.deepEqual(countOrders(x.clocks), {count: 2, exact: true});
  assert.deepEqual(pairs(x.r, x.clocks).map((p) => pidsOf(x, p)), [[12, 13, false]]);
  assert.deepEqual(otherOrder(x.clocks).order.map((w) => x.r.procs[w.proc].pid), [13, 12]);
});

test("a wait before the second fork: one order, and why", () => {
  const x = run("11 fork 12", "12 write 1 2 a\\x0a", ...end(12, 11), "11 fork 13",
                "13 write 1 2 b\\x0a", ...end(13, 11));
  assert.deepEqual(countOrders(x.clocks), {count: 1, exact: true});
  assert.equal(otherOrder(x.clocks), null);
  const [p] = pairs(x.r, x.clocks);
  const pid = (i) => x.r.procs[i].pid;
  assert.deepEqual([pid(p.why.waiter), pid(p.why.waitedFor), pid(p.why.then)], [11, 12, 13]);
});

test("a parent's lines on both sides of its child's: one order", () => {
  const x = run("11 write 1 2 a\\x0a", "11 fork 12", "12 write 1 2 b\\x0a", ...end(12, 11),
                "11 write 1 2 c\\x0a");
  assert.deepEqual(countOrders(x.clocks), {count: 1, exact: true});
  assert.deepEqual(pairs(x.r, x.clocks).map((p) => [...pidsOf(x, p), p.allBefore]),
                   [[11, 12, true, false]]);
});

test("why: written before forking, or waited for before writing", () => {
  const pid = (x, i) => x.r.procs[i].pid;
  let x = run("11 write 1 2 a\\x0a", "11 fork 12", "12 write 1 2 b\\x0a");
  assert.equal(pid(x, pairs(x.r, x.clocks)[0].why.forker), 11);
  x = run("11 fork 12", "12 write 1 2 a\\x0a", ...end(12, 11), "11 write 1 2 b\\x0a");
  const [p] = pairs(x.r, x.clocks);
  assert.deepEqual([pid(x, p.why.waiter), pid(x, p.why.waitedFor), p.why.then], [11, 12, null]);
});

test("fork; fork; printf at a terminal: 4! orders", () => {
  const x = run("11 fork 12", "11 fork 13", "12 fork 14", "11 write 1 2 a\\x0a",
                "12 write 1 2 b\\x0a", "13 write 1 2 c\\x0a", "14 write 1 2 d\\x0a");
  assert.deepEqual(countOrders(x.clocks), {count: 24, exact: true});
});

test("a chain of two lines beside one: 3 orders", () => {
  const x = run("11 fork 12", "11 write 1 2 a\\x0a", "11 write 1 2 b\\x0a", "12 write 1 2 c\\x0a");
  assert.deepEqual(countOrders(x.clocks), {count: 3, exact: true});
});

test("a vforked child's lines come before its parent's next", () => {
  const x = run("11 fork 12 vfork", "12 write 1 2 a\\x0a", "12 exec /bin/x 0 1 x",
                "11 write 1 2 b\\x0a", "12 write 1 2 c\\x0a");
  // a before b, forced by the vfork; c free of b.
  assert.deepEqual(countOrders(x.clocks), {count: 2, exact: true});
});

test("twelve processes that nothing orders: more than the bound", () => {
  const forks = [], writes = [];
  for (let c = 12; c < 24; c++) {
    forks.push(`11 fork ${c}`);
    writes.push(`${c} write 1 2 x\\x0a`);
  }
  assert.deepEqual(countOrders(run(...forks, ...writes).clocks),
                   {count: ORDER_BOUND, exact: false});
});

test("one process's 10,000 writes: one order, counted without running out of stack", () => {
  const writes = Array.from({length: 10000}, () => "11 write 1 2 a\\x0a");
  const x = run(...writes, "11 exit exited 0");
  assert.deepEqual(countOrders(x.clocks), {count: 1, exact: true});
});

// Every order of the writes that keeps each forced pair, one by one.
function bruteForce(writes) {
  const count = (left) => left.length === 0 ? 1 :
    left.filter((w) => !left.some((v) => v !== w && before(v, w)))
      .reduce((n, w) => n + count(left.filter((v) => v !== w)), 0);
  return count(writes);
}

test("the count is every order a brute force finds, on random small runs", () => {
  let seed = 7;
  const rand = (n) => (seed = (seed * 1103515245 + 12345) % 2147483648) % n;
  for (let trial = 0; trial < 200; trial++) {
    const lines = [], children = [];
    let next = 12, writes = 0;
    while (writes < 7 && lines.length < 20) {
      const live = children.filter((c) => !c.ended), ended = children.filter((c) => c.ended && !c.waited);
      const pick = rand(5);
      if (pick === 0) {
        lines.push("11 write 1 2 p\\x0a");
        writes++;
      } else if (pick === 1 && children.length < 4) {
        children.push({pid: next, ended: false, waited: false});
        lines.push(`11 fork ${next++}`);
      } else if (pick === 2 && live.length) {
        lines.push(`${live[rand(live.length)].pid} write 1 2 c\\x0a`);
        writes++;
      } else if (pick === 3 && live.length) {
        const c = live[rand(live.length)];
        c.ended = true;
        lines.push(`${c.pid} exit exited 0`);
      } else if (pick === 4 && ended.length) {
        const c = ended[rand(ended.length)];
        c.waited = true;
        lines.push(`11 waited ${c.pid} exited 0`);
      }
    }
    const x = run(...lines);
    assert.deepEqual(countOrders(x.clocks), {count: bruteForce(x.clocks.writes), exact: true},
                     lines.join("; "));
  }
});

test("two threads of one process: two lines of events, two orders", () => {
  const x = run("11 thread 12", "11/12 write 1 2 B\\x0a", "11 write 1 2 A\\x0a", "11 exit exited 0");
  assert.deepEqual(countOrders(x.clocks), {count: 2, exact: true});
  const y = run("11 write 1 2 A\\x0a", "11 thread 12", "11/12 write 1 2 B\\x0a", "11 exit exited 0");
  assert.deepEqual(countOrders(y.clocks), {count: 1, exact: true});
  // A, B unordered; C after the join, so after B too: ABC or BAC.
  const z = run("11 thread 12", "11/12 write 1 2 B\\x0a", "11 write 1 2 A\\x0a", "11 joined 12",
                "11 write 1 2 C\\x0a", "11 exit exited 0");
  assert.deepEqual(countOrders(z.clocks), {count: 2, exact: true});
});

test("a read of a pipe comes after the write of its bytes, even one still in its call", () => {
  const lines = ["11 fork 12", "11 fork 13", "12 write 1 2 a\\x0a", "12 writeinto 1 pipe_1 2 x\\x0a",
                 "13 readfrom 0 pipe_1 2 x\\x0a", "13 write 1 2 b\\x0a"];
  assert.deepEqual(countOrders(run(...lines).clocks), {count: 1, exact: true});
  const [w, r] = [lines[3], lines[4]];
  assert.deepEqual(countOrders(run(...lines.slice(0, 3), r, w, lines[5]).clocks),
                   {count: 1, exact: true});
  assert.deepEqual(countOrders(run(...lines.slice(0, 3), lines[5]).clocks), {count: 2, exact: true});
});

test("where a count comes from, where nothing orders the writers", () => {
  const forks = Array.from({length: 8}, (_, k) => `11 fork ${12 + k}`);
  const writes = Array.from({length: 8}, (_, k) => `${12 + k} write 1 2 x\\x0a`);
  const x = run(...forks, ...writes);
  assert.equal(whereFrom(x.clocks).text, "8 writers, nothing orders any two: 8! = 40,320");
  assert.equal(countOrders(x.clocks).count, 40320);
  const y = run("11 fork 12", "11 fork 13", "12 write 1 2 a\\x0a", "12 write 1 2 b\\x0a",
                "13 write 1 2 c\\x0a");
  assert.equal(whereFrom(y.clocks).text,
               "2 writers of 2, 1 writes, nothing orders one's against another's: 3!/(2!·1!) = 3");
  assert.equal(countOrders(y.clocks).count, 3);
  const z = run("11 write 1 2 a\\x0a", "11 fork 12", "12 write 1 2 b\\x0a");
  assert.equal(whereFrom(z.clocks), null);
});
