// Where each process stands after event k: made yet or not, its program,
// waiting, ended (a zombie until collected), collected, its parent, an
// adopter's pid once it is an orphan, and what the run made its
// descriptors 0 to 2 refer to ("pipe 1", a file; "" for the run's own),
// with the pipes' ends it holds above 2 where they were followed (reads:
// which of those are read ends).

import {baseName} from "./run.js";

export function stateAt(run, k) {
  const {events, procs, procOf} = run;
  const at = (e) => e >= 0 && e <= k;
  const states = procs.map((p) => ({
    made: p.born <= k, program: p.programs[0], waiting: false,
    ended: at(p.ended), gone: at(p.reaped), running: p.running && k >= events.length - 1,
    adoptedBy: at(p.adopted) ? p.adopter : 0, fds: ["", "", ""], reads: [],
  }));
  const madeAt = new Map(procs.map((p, i) => [p.born, i]));
  const own = (where) => (where === "the run's input" || where === "the run's output" ? "" : where);
  for (let e = 0; e <= k && e < events.length; e++) {
    const ev = events[e], s = states[procOf[e]];
    if (ev.kind === "fork" && madeAt.has(e))
      Object.assign(states[madeAt.get(e)], {fds: [...s.fds], reads: [...s.reads]});
    const fd = Number(ev.f[0]);
    if (ev.kind === "fd" && fd <= 2)
      s.fds[fd] = own(ev.f[1]);
    else if (ev.kind === "fd" && ev.f[1] === "closed")
      s.fds[fd] = "";
    if (ev.kind === "pipe" && ev.f[3] === "followed")
      for (const [end, reads] of [[Number(ev.f[1]), true], [Number(ev.f[2]), false]])
        if (end > 2) {
          s.fds[end] = ev.f[0];
          s.reads[end] = reads;
        }
    if (ev.kind === "exec")
      s.program = baseName(ev.f[0]);
    else if (ev.kind === "wait")
      s.waiting = true;
    else if (ev.kind === "waited")
      s.waiting = false;
  }
  return states;
}

// The processes event k is about: its own, and the child it makes, waits
// for, collects or sees adopted.
export function touched(run, k) {
  const ev = run.events[k];
  if (!ev)
    return [];
  const own = run.procOf[k], found = [own];
  const child = Number(ev.f[0]);
  if (ev.kind === "fork" || (ev.kind === "waited" && child > 0)) {
    const c = run.procs[own].children.find((i) => run.procs[i].pid === child &&
                                           (ev.kind !== "fork" || run.procs[i].born === k));
    if (c !== undefined)
      found.push(c);
  }
  return found;
}
