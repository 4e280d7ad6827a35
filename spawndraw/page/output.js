// The output so far: each line after the pid that wrote it, in that
// process's colour and with its pid written out, so that no one needs the
// colours; "!" marks standard error. A pid in the text that names a
// process of the run links to its node: pointing at either marks the other.

import {$} from "../../common/page/dom.js";
import {shown} from "./record.js";
import {point} from "./picture.js";
import {copiedLines} from "./buffered.js";

// The lines of the run, each with the event that ended it, its process, its
// stream and where it went: the run's output, or a pipe or a file ("where");
// a line cut short at the end of the run ends with it.
export function outputLines(run) {
  const lines = [], open = new Map();
  run.events.forEach((ev, e) => {
    const into = ev.kind === "writeinto";
    if ((ev.kind !== "write" && !into) || (into && ev.f[2] === "-1"))
      return;
    const where = into ? ev.f[1] : "";
    const key = JSON.stringify([run.procOf[e], ev.f[0], ev.tid ?? 0, where]);
    const text = (open.get(key) ?? "") + ev.f[into ? 3 : 2];
    const parts = text.split("\n");
    const rest = parts.pop();
    if (rest !== "")
      open.set(key, rest);
    else
      open.delete(key);
    for (const part of parts)
      lines.push({event: e, proc: run.procOf[e], fd: ev.f[0], bytes: part, where});
  });
  for (const [key, rest] of open) {
    const [proc, fd, , where] = JSON.parse(key);
    lines.push({event: run.events.length - 1, proc, fd, bytes: rest, cut: true, where});
  }
  return lines;
}

// The line as elements: the text, with the pids in it linked.
export function lineElement(run, line, pids) {
  const li = document.createElement("li");
  li.dataset.proc = line.proc;
  li.style.setProperty("--hue", (line.proc * 67) % 360);
  const who = document.createElement("span");
  who.className = "who";
  who.textContent = `${run.procs[line.proc].pid}` +
    (line.where ? ` \u2192 ${shown(line.where)}` : line.fd === "2" ? " !" : "");
  li.append(who, " ");
  const text = shown(line.bytes) + (line.cut ? " (no line end)" : "");
  let last = 0;
  for (const m of text.matchAll(/\d+/g)) {
    const i = pids.get(Number(m[0]));
    if (i === undefined)
      continue;
    li.append(text.slice(last, m.index));
    const a = document.createElement("a");
    a.href = "#";
    a.className = "pid";
    a.textContent = m[0];
    a.dataset.proc = i;
    li.append(a);
    last = m.index + m[0].length;
  }
  li.append(text.slice(last));
  return li;
}

let lines = null, shownCount = 0, copies = [];

// How many of the lines had been written by event k, that one's included.
export function linesUpTo(lines, k) {
  let lo = 0, hi = lines.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (lines[mid].event <= k)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

// Shows the lines written up to event k.
export function showOutput(run, k) {
  const list = $("lines");
  if (!lines) {
    lines = outputLines(run);
    const pids = new Map(run.procs.map((p, i) => [p.pid, i]));
    copies = copiedLines(run);
    list.replaceChildren(...lines.map((l) => {
      const li = lineElement(run, l, pids);
      li.hidden = true;
      // A copy of a line that sat in a stdio buffer when a fork copied it.
      const c = copies.find((x) => x.line === `${l.bytes}\n` && x.writes.includes(l.event));
      if (c && c.writes[0] !== l.event) {
        const why = document.createElement("span");
        why.className = "copied";
        const origin = run.procs[c.origin].pid;
        why.textContent = l.proc === c.origin ?
          `  (again: printed again, or ${origin}'s own buffer written out at last)` :
          `  (again: printed again, or a copy of ${origin}'s stdio buffer)`;
        li.append(why);
      }
      return li;
    }));
    shownCount = 0;
    $("noOutput").hidden = lines.length > 0;
  }
  const count = linesUpTo(lines, k);
  const items = list.children;
  for (let i = Math.min(count, shownCount); i < Math.max(count, shownCount); i++)
    items[i].hidden = i >= count;
  shownCount = count;
  // Said once the line has come twice.
  const twice = copies.filter((c) => c.writes[1] <= k);
  $("bufferNote").hidden = twice.length === 0;
  // The record can't tell a line each process printed from one that a fork
  // copied out of a buffer: both are said.
  $("bufferNote").textContent = twice.map((c) => `"${shown(c.line.slice(0, -1))}" ` +
    `comes ${c.writes.filter((w) => w <= k).length} times, from one family that ran no new ` +
    `program: each printed it, or ${run.procs[c.origin].pid} printed it once and it was still ` +
    "in stdio's buffer when it forked, and each fork copied the buffer. Into a pipe or a " +
    "file stdio writes in blocks, at a terminal at each line end: fflush(stdout) before " +
    "fork prints such a line once.").join(" ");
  $("outputCount").textContent = `${count} of ${lines.length} line${lines.length === 1 ? "" : "s"}`;
}

// Pointing at a pid, a line or a node marks the process everywhere.
export function listenToPointing() {
  const find = (e) => e.target.closest?.("[data-proc]");
  for (const type of ["pointerover", "focusin"])
    document.addEventListener(type, (e) => {
      const t = find(e);
      if (t)
        point(Number(t.dataset.proc), true);
    });
  for (const type of ["pointerout", "focusout"])
    document.addEventListener(type, (e) => {
      const t = find(e);
      if (t)
        point(Number(t.dataset.proc), false);
    });
  document.addEventListener("click", (e) => {
    if (e.target.matches?.("a.pid"))
      e.preventDefault();
  });
}
