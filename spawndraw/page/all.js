// Every event on one page, numbered, in spawndraw's words: for reading
// through, and for printing.

import {$} from "../../common/page/dom.js";

export function showAll(run, words) {
  const list = $("allEvents");
  if (list.childElementCount === 0)
    list.append(...run.events.map((ev, e) => {
      const li = document.createElement("li");
      li.value = ev.seq;
      li.textContent = words[e] ?? ev.kind;
      return li;
    }));
}
