// Which events of a run had to come before which, and what that leaves
// open of the order of its output. An event comes before another when:
// - it is the earlier of one process's events;
// - it is a fork, and the other is anything its child does;
// - it is a vforked child's exec or end, and the other is what its parent
//   does after the vfork;
// - it is a child's end, and the other is the wait that returned it;
// - it is a thread's, and the other follows the join that saw its end;
// - it is a write into a pipe, and the other follows the read of its bytes;
// and so on through any chain of these. Each process's knowledge of the
// writes before it is kept as a vector clock, a count of writes a writer.

// Past this many orders, the count says "more than".
export const ORDER_BOUND = 1000000;
// Past this many partial orders looked at, the count gives up.
const STATE_BOUND = 200000;
// Past this many clock entries, the run is too large to work out here.
const CLOCK_BOUND = 5000000;

function raise(to, from) {
  for (let k = 0; k < to.length; k++)
    if (from[k] > to[k])
      to[k] = from[k];
}

// The writes of the run, in the order they happened, each with its
// process, its place among its process's writes, and its clock: for each
// writer, how many of its writes had to come before it.
export function writeClocks(run) {
  const {events, procs, procOf} = run;
  // A line of events is a process, or one of its threads: "i" or "i/tid".
  const lineOf = (e) => (events[e].tid ? `${procOf[e]}/${events[e].tid}` : `${procOf[e]}`);
  const writerOf = new Map(), writers = [], names = [];
  events.forEach((ev, e) => {
    if (ev.kind === "write" && !writerOf.has(lineOf(e))) {
      writerOf.set(lineOf(e), writers.length);
      writers.push(procOf[e]);
      names.push(ev.tid ? `${ev.pid}/${ev.tid}` : `${ev.pid}`);
    }
  });
  const writes = events.filter((ev) => ev.kind === "write").length;
  if (writes * writers.length > CLOCK_BOUND)
    return null;
  const W = writers.length;
  const clock = new Map(), linesOf = procs.map(() => []);
  const of = (line, i) => {
    if (!clock.has(line)) {
      clock.set(line, new Int32Array(W));
      linesOf[i].push(line);
    }
    return clock.get(line);
  };
  // What went through each pipe, in the order it went in: each write's
  // bytes as offsets in the pipe, so that a read knows whose bytes it took.
  const through = new Map(), readSoFar = new Map(), atWrite = new Map();
  events.forEach((ev, e) => {
    const n = Number(ev.f[2]);
    if (ev.kind !== "writeinto" || !/^pipe /.test(ev.f[1]) || !(n > 0))
      return;
    const list = through.get(ev.f[1]) ?? [];
    const from = list.length ? list[list.length - 1].to : 0;
    list.push({event: e, line: lineOf(e), from, to: from + n});
    through.set(ev.f[1], list);
  });
  const atEnd = new Map(), written = new Map(), done = [];
  const released = new Set(), made = new Map();
  procs.forEach((q, k) => made.set(q.born, k));
  events.forEach((ev, e) => {
    const i = procOf[e], p = procs[i], c = of(lineOf(e), i);
    if (ev.kind === "fork") {
      const child = made.get(e);
      if (child !== undefined) {
        clock.set(`${child}`, Int32Array.from(c));
        linesOf[child].push(`${child}`);
      }
    } else if (ev.kind === "thread") {
      // What the creator did before comes before all the thread does.
      const line = `${i}/${Number(ev.f[0])}`;
      clock.set(line, Int32Array.from(c));
      linesOf[i].push(line);
    } else if (ev.kind === "writeinto") {
      atWrite.set(e, Int32Array.from(c));
    } else if (ev.kind === "readfrom" && through.has(ev.f[1]) && Number(ev.f[2]) > 0) {
      // A read of a pipe comes after the writes of the bytes it took: one
      // still in its call when the read returned had done nothing since.
      const from = readSoFar.get(ev.f[1]) ?? 0, to = from + Number(ev.f[2]);
      readSoFar.set(ev.f[1], to);
      for (const w of through.get(ev.f[1]))
        if (w.from < to && w.to > from)
          raise(c, w.event < e ? atWrite.get(w.event) : clock.get(w.line) ?? c);
    } else if (ev.kind === "joined") {
      // All the thread did comes before what follows its join.
      const line = clock.get(`${i}/${Number(ev.f[0])}`);
      if (line)
        raise(c, line);
    } else if (ev.kind === "waited" && Number(ev.f[0]) > 0) {
      const child = p.children.find((k) => procs[k].pid === Number(ev.f[0]) &&
                                    atEnd.has(k) && procs[k].ended < e);
      if (child !== undefined)
        raise(c, atEnd.get(child));
    } else if (ev.kind === "write") {
      const w = writerOf.get(lineOf(e));
      const n = (written.get(w) ?? 0) + 1;
      written.set(w, n);
      c[w] = n;
      done.push({event: e, proc: i, writer: w, index: n - 1, clock: Int32Array.from(c)});
    }
    // A process ends once all its threads have: its end knows what each did.
    if (ev.kind === "exit")
      for (const line of linesOf[i])
        raise(c, clock.get(line));
    if (ev.kind === "exit")
      atEnd.set(i, Int32Array.from(c));
    // A vforked child's exec or end lets its parent go on.
    if ((ev.kind === "exec" || ev.kind === "exit") && p.vfork && !released.has(i) &&
        p.parent >= 0) {
      released.add(i);
      raise(of(`${p.parent}`, p.parent), c);
    }
  });
  return {writers, names, writes: done};
}

// Whether write a had to come before write b.
export function before(a, b) {
  return b.clock[a.writer] >= a.index + 1;
}

// The number of orders the writes could have come in, each process's in
// its own order and every forced pair as forced: {count, exact, why},
// where an inexact count is a bound it is more than, or null, with why,
// when too many partial orders had to be looked at. Worked out without
// recursion, so that no run is too deep for it: each state is how far each
// process has written, and its count the sum of those it can go on to.
export function countOrders(clocks) {
  const chains = clocks.writers.map(() => []);
  for (const w of clocks.writes)
    chains[w.writer].push(w);
  const memo = new Map();
  let capped = false;
  const frame = (pos) => ({pos, key: pos.join(","), c: 0, n: 0, any: false});
  const stack = [frame(chains.map(() => 0))];
  while (stack.length) {
    const f = stack[stack.length - 1];
    if (f.c === chains.length || f.n >= ORDER_BOUND) {
      if (f.n >= ORDER_BOUND) {
        f.n = ORDER_BOUND;
        capped = true;
      }
      const count = f.any ? f.n : 1;
      memo.set(f.key, count);
      stack.pop();
      const up = stack[stack.length - 1];
      if (up) {
        up.n += count;
        up.any = true;
        up.c++;
      }
      continue;
    }
    const c = f.c, w = chains[c][f.pos[c]];
    if (!w || !chains.every((_, d) => d === c || w.clock[d] <= f.pos[d])) {
      f.c++;
      continue;
    }
    const next = f.pos.slice();
    next[c]++;
    const known = memo.get(next.join(","));
    if (known !== undefined) {
      f.n += known;
      f.any = true;
      f.c++;
    } else if (memo.size > STATE_BOUND) {
      return {count: null, exact: false,
              why: `more than ${STATE_BOUND.toLocaleString("en")} partial orders to look at`};
    } else {
      stack.push(frame(next));
    }
  }
  return {count: memo.get(chains.map(() => 0).join(",")), exact: !capped};
}

// What else a run did that may order its output, which the count leaves
// out: signals that processes sent one another, and files written and read
// through redirections. (The record has no sleeps; the pipes it counts.)
export function leftOut(run) {
  const signals = run.events.some((ev) => ev.kind === "signal" && ev.f.length > 1 &&
                                  ev.f[0] !== "SIGCHLD");
  const files = run.events.some((ev) => (ev.kind === "writeinto" || ev.kind === "readfrom") &&
                                !/^pipe /.test(ev.f[1]));
  return [...(signals ? ["signals sent between its processes"] : []),
          ...(files ? ["files written and read"] : [])];
}

// Another order the writes could have come in: the first two neighbours
// that nothing forced swapped; null when the order was the only one.
export function otherOrder(clocks) {
  const w = clocks.writes;
  for (let k = 0; k + 1 < w.length; k++)
    if (w[k].writer !== w[k + 1].writer && !before(w[k], w[k + 1])) {
      const order = w.slice();
      [order[k], order[k + 1]] = [order[k + 1], order[k]];
      return {order, at: k};
    }
  return null;
}

// Whether every write of chain x and every write of chain y had to come in
// the order they did: for each write of y, the first write of x that didn't
// have to come before it had to come after it.
function allForced(x, y) {
  for (const b of y) {
    const a = x[b.clock[x[0].writer]];
    if (a && !before(b, a))
      return false;
  }
  return true;
}

// For each process that wrote and the next to write, in the order their
// first writes came: whether their lines could come in one order only,
// whether all those of the first came before all those of the second, and
// if so, why.
export function pairs(run, clocks) {
  const chains = new Map();
  for (const w of clocks.writes) {
    if (!chains.has(w.writer))
      chains.set(w.writer, []);
    chains.get(w.writer).push(w);
  }
  const order = [...chains.keys()];
  const result = [];
  for (let k = 0; k + 1 < order.length; k++) {
    const x = chains.get(order[k]), y = chains.get(order[k + 1]);
    const a = clocks.writers[order[k]], b = clocks.writers[order[k + 1]];
    const allBefore = before(x[x.length - 1], y[0]);
    result.push({a, b, aName: clocks.names?.[order[k]], bName: clocks.names?.[order[k + 1]],
                 forced: allForced(x, y) && allForced(y, x), allBefore,
                 why: allBefore ? reason(run, clocks, a, b) : null});
  }
  return result;
}

// Why every write of process a (an index) came before those of b: a
// forked b, or b's ancestor, after writing; or a process waited for a, or
// for a's ancestor, before it wrote itself or forked b or b's ancestor.
// {waiter, waitedFor, then} or {forker, forked}; null when it isn't so
// simple.
function reason(run, clocks, a, b) {
  return reasonBetween(run, a, clocks.writes.filter((w) => w.proc === a).pop().event,
                       b, clocks.writes.find((w) => w.proc === b).event);
}

// The same for a's write at event lastWrite and b's at event firstWrite.
export function reasonBetween(run, a, lastWrite, b, firstWrite) {
  const {procs, events, procOf} = run;
  const lineOf = (i) => {
    const line = [];
    for (let k = i; k >= 0; k = procs[k].parent)
      line.push(k);
    return line;
  };
  const line = lineOf(b);
  for (let k = 0; k < line.length; k++) {
    const q = line[k];
    // What q did next on the way to b's first write: that write, or the
    // fork of the next process down the line.
    const then = k === 0 ? firstWrite : procs[line[k - 1]].born;
    if (q === a && lastWrite < then && k > 0)
      return {forker: a, forked: line[k - 1]};
    for (const gone of lineOf(a)) {
      if (procs[gone].parent !== q)
        continue;
      for (let e = then - 1; e >= 0; e--)
        if (procOf[e] === q && events[e].kind === "waited" &&
            Number(events[e].f[0]) === procs[gone].pid)
          return {waiter: q, waitedFor: gone, then: k === 0 ? null : line[k - 1]};
    }
  }
  return null;
}

// Where a count comes from when nothing orders any writer's writes against
// another's: {writers, lines, text}, the text "8 writers, nothing orders
// any two: 8! = 40,320" (with each writer's count of writes where one has
// more than one); null when something does order them.
export function whereFrom(clocks) {
  const counts = clocks.writers.map(() => 0);
  for (const w of clocks.writes)
    counts[w.writer]++;
  const free = clocks.writes.every((w) => w.clock.every((n, d) => d === w.writer || n === 0));
  if (!free || counts.length < 2)
    return null;
  const total = counts.reduce((a, b) => a + b, 0);
  let n = 1;
  for (let k = 2; k <= total; k++)
    n *= k;
  for (const c of counts)
    for (let k = 2; k <= c; k++)
      n /= k;
  if (!Number.isSafeInteger(n))
    return null;
  const figure = n.toLocaleString("en");
  const text = counts.every((c) => c === 1) ?
    `${counts.length} writers, nothing orders any two: ${counts.length}! = ${figure}` :
    `${counts.length} writers of ${counts.join(", ")} writes, nothing orders one's against ` +
      `another's: ${total}!/(${counts.map((c) => `${c}!`).join("·")}) = ${figure}`;
  return {writers: counts.length, lines: total, text};
}
