// Lines that a fork copied from a stdio buffer: written by several
// processes of one family, the first line of each of their writes, where
// one of them (the origin) is the process every other descends from by
// forks, none of them running a new program before it wrote. As the
// terminal's drawing finds them.

function forkedFrom(run, d, a) {
  for (let i = d; i >= 0; i = run.procs[i].parent)
    if (i === a)
      return true;
  return false;
}

export function copiedLines(run) {
  const found = [];
  if (run.events.length > 200000)
    return found;
  const firstExec = run.procs.map(() => -1), byLine = new Map();
  run.events.forEach((ev, e) => {
    const i = run.procOf[e];
    if (ev.kind === "exec" && firstExec[i] < 0)
      firstExec[i] = e;
    const into = ev.kind === "writeinto";
    if (ev.kind !== "write" && !into)
      return;
    const bytes = ev.f[into ? 3 : 2] ?? "", nl = bytes.indexOf("\n");
    if (nl > 0) {
      // Copies of a buffer go where its stream goes: the same line in a
      // pipe and at the terminal was passed on, not copied.
      const key = `${into ? ev.f[1] : ""}\0${bytes.slice(0, nl + 1)}`;
      if (!byLine.has(key))
        byLine.set(key, []);
      byLine.get(key).push(e);
    }
  });
  for (const [key, writes] of byLine) {
    const line = key.slice(key.indexOf("\0") + 1);
    if (writes.length < 2)
      continue;
    for (const w of writes) {
      const origin = run.procOf[w];
      const others = writes.filter((x) => run.procOf[x] !== origin);
      if (others.length && others.every((x) => {
        const i = run.procOf[x];
        return forkedFrom(run, i, origin) && (firstExec[i] < 0 || firstExec[i] > x);
      })) {
        found.push({line, origin, writes: [...writes].sort((a, b) => a - b)});
        break;
      }
    }
  }
  return found.sort((a, b) => a.writes[0] - b.writes[0]);
}
