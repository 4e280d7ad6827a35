// An event explained: spawndraw's own words for it, then where each process
// it touches stands now, and what it can do next.

import {$} from "../../common/page/dom.js";

export function standing(run, states, i) {
  const p = run.procs[i], s = states[i];
  const parent = s.adoptedBy || (p.parent >= 0 ? run.procs[p.parent].pid : 0);
  if (s.gone)
    return `${p.pid} is gone: its exit status was collected, and its pid may be used again`;
  if (s.ended && !p.zombie)
    return `${p.pid} has ended, and ${parent}, waiting for it, collects it at once`;
  if (s.ended)
    return `${p.pid} is a zombie: it has ended, and its exit status waits for ${parent} to collect it`;
  if (s.adoptedBy)
    return `${p.pid} is an orphan: its parent ended, and ${s.adoptedBy} adopted it; it runs on`;
  if (s.waiting)
    return `${p.pid} (${s.program}) sleeps in wait until a child ends`;
  if (i === run.root)
    return `${p.pid} is spawndraw, following the command`;
  return `${p.pid} (${s.program}) runs`;
}

export function explain(run, words, states, marked, k) {
  $("sentence").textContent = words[k] ?? "";
  $("standing").replaceChildren(...marked.map((i) => {
    const li = document.createElement("li");
    li.textContent = standing(run, states, i);
    return li;
  }));
}
