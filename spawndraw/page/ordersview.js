// The section on the orders the output could have come in.

import {$} from "../../common/page/dom.js";
import {ORDER_BOUND, countOrders, leftOut, otherOrder, pairs, whereFrom, writeClocks}
  from "./orders.js";
import {lineElement, outputLines} from "./output.js";

function para(text) {
  const p = document.createElement("p");
  p.textContent = text;
  return p;
}

function because(run, pair) {
  const pid = (i) => run.procs[i].pid;
  const w = pair.why;
  const head = `every line of ${pid(pair.a)} comes before ${pid(pair.b)}'s`;
  if (!w)
    return `${head}: what they did in between left no other order`;
  if (w.forker !== undefined)
    return `${head} because ${pid(w.forker)} wrote them before forking ${pid(w.forked)}`;
  return `${head} because ${pid(w.waiter)} waited for ${pid(w.waitedFor)} before ` +
    (w.then === null ? "writing" : `forking ${pid(w.then)}`);
}

const MODELLED = "counting only what each process's own order, its threads, fork, exec, " +
  "exit, wait and the reads of pipes force";

// The count in words, with what it models and what the run did that it
// leaves out.
export function countSentence({count, exact, why}, also) {
  const besides = also.length ? `; this run also used ${also.join(" and ")}, which may order it more` : "";
  if (count === null)
    return `The orders the output could have come in are too many to count here: ${why}.`;
  if (count === 1)
    return `One order only: the forks, waits and exits of the run allowed the output in no other ` +
      `order (${MODELLED}${besides}).`;
  const n = exact ? `${count.toLocaleString("en")} orders` :
    `More than ${ORDER_BOUND.toLocaleString("en")} orders`;
  return `${n} of the output were possible, each process's lines in their own order: at most ` +
    `that many, ${MODELLED}${besides}.`;
}

export function showOrders(run) {
  const out = $("ordersText");
  const clocks = writeClocks(run);
  if (!clocks) {
    out.replaceChildren(para("This run wrote too much, from too many processes, to work out here."));
    return;
  }
  if (clocks.writes.length === 0) {
    out.replaceChildren(para("The run wrote nothing to spawndraw's output or error."));
    return;
  }
  const parts = [para(countSentence(countOrders(clocks), leftOut(run)))];
  const from = whereFrom(clocks);
  if (from)
    parts.push(para(`Where the count comes from: ${from.text}.`));
  const all = pairs(run, clocks);
  const list = document.createElement("ul");
  // A few pairs in view; the rest folded, for a big run.
  const SHOWN = 4;
  const more = document.createElement("details");
  const summary = document.createElement("summary");
  summary.textContent = `${all.length - SHOWN} more pairs`;
  const rest = document.createElement("ul");
  more.append(summary, rest);
  for (const [k, pair] of all.entries()) {
    const li = document.createElement("li");
    const [a, b] = [pair.aName ?? run.procs[pair.a].pid, pair.bName ?? run.procs[pair.b].pid];
    li.textContent = pair.allBefore ? because(run, pair) : pair.forced ?
      `${a}'s and ${b}'s lines could come only in the order they did: the forks and waits between them allowed no other` :
      `${a}'s and ${b}'s lines could have come the other way round: nothing made one wait for the other`;
    (k < SHOWN ? list : rest).append(li);
  }
  if (all.length)
    parts.push(list);
  if (all.length > SHOWN)
    parts.push(more);
  const other = otherOrder(clocks);
  if (other) {
    parts.push(para("One other order that was possible, the first two writes that nothing ordered swapped:"));
    const lines = outputLines(run);
    const byEvent = new Map();
    for (const l of lines)
      byEvent.set(l.event, [...(byEvent.get(l.event) ?? []), l]);
    const pids = new Map(run.procs.map((p, i) => [p.pid, i]));
    const ol = document.createElement("ol");
    ol.className = "lines";
    for (const w of other.order)
      for (const l of byEvent.get(w.event) ?? [])
        ol.append(lineElement(run, l, pids));
    parts.push(ol);
  }
  out.replaceChildren(...parts);
}
