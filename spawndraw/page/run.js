// The processes that a run's events make, and what became of each: as
// spawndraw reads its record.
import {shown} from "./record.js";

function newProcess(pid, parent, program) {
  return {pid, parent, children: [], programs: [program], execs: [], argv: [],
          threads: 0, failed: 0, born: -1, ended: -1, reaped: -1, adopted: -1,
          ending: "", reaper: -1, adopter: 0, vfork: false, running: false};
}

export function baseName(path) {
  const parts = path.split("/").filter((p) => p !== "");
  return parts.length ? parts[parts.length - 1] : path || "?";
}

// How a wait or an end says a process ended, from its fields at `at`.
export function statusText(f, at) {
  if (f.length <= at + 1)
    return f[at] ?? "";
  const s = f[at] === "killed" ? `killed by ${f[at + 1]}` :
    f[at] === "stopped" ? `stopped by ${f[at + 1]}` : `${f[at]} ${f[at + 1]}`;
  return f[at + 2] === "core" ? `${s} (core dumped)` : s;
}

export function buildRun(events) {
  const procs = [], procOf = [], current = new Map();
  let root = -1, command = -1, argv = [];
  const make = (p) => procs.push(p) - 1;
  const processOf = (pid) => {
    if (!current.has(pid)) {
      const i = make(newProcess(pid, root, "?"));
      if (root >= 0)
        procs[root].children.push(i);
      current.set(pid, i);
    }
    return current.get(pid);
  };
  events.forEach((ev, e) => {
    const f = ev.f;
    if (ev.kind === "begin" && root < 0) {
      root = make(newProcess(ev.pid, -1, "spawndraw"));
      current.set(ev.pid, root);
      argv = f.slice(f[0] === "every-call" && f.length > 1 ? 2 : 1);
      procOf.push(root);
      return;
    }
    const i = processOf(ev.pid);
    procOf.push(i);
    const p = procs[i];
    if (ev.kind === "fork") {
      // Made with CLONE_PARENT, it is the child of its maker's parent.
      const parent = f.length > 2 ? processOf(Number(f[2])) : i;
      const child = newProcess(Number(f[0]), parent, p.programs[p.programs.length - 1]);
      child.maker = parent !== i ? i : -1;
      child.born = e;
      child.argv = p.argv;
      child.vfork = f[1] === "vfork";
      const k = make(child);
      procs[parent].children.push(k);
      current.set(child.pid, k);
      if (i === root && command < 0)
        command = k;
    } else if (ev.kind === "thread") {
      p.threads++;
    } else if (ev.kind === "exec") {
      p.programs.push(shown(baseName(f[0])));
      p.execs.push(e);
      p.argv = f.slice(3);
    } else if (ev.kind === "execfail") {
      p.failed++;
    } else if (ev.kind === "wait") {
      p.waitingFor = f[1] === "nohang" ? "" : f[0];
    } else if (ev.kind === "waited") {
      p.waitingFor = "";
    } else if (ev.kind === "exit") {
      p.ended = e;
      // A zombie only where its parent wasn't waiting for it as it ended;
      // spawndraw's own process waits for the command all along.
      const w = p.parent >= 0 ? procs[p.parent].waitingFor ?? "" : "";
      p.zombie = p.parent !== root && w !== "any" && !w.startsWith("group") &&
        w !== String(p.pid);
      p.ending = statusText(f, 0);
    } else if (ev.kind === "reaped") {
      p.reaped = e;
      p.reaper = Number(f[0]);
    } else if (ev.kind === "adopted") {
      p.adopted = e;
      p.adopter = Number(f[0]);
    } else if (ev.kind === "running") {
      p.running = true;
    }
  });
  return {events, procs, procOf, root, command, argv};
}
