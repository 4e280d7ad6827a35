// Beside the picture: what the balancing did at the step shown, in words, and
// the balancing's own source, its lines one element each, with the line that
// acted marked and the node it acted at named.

import {$} from "../../common/page/dom.js";
import {checkLines, insertionChecks, verdictOf, wayLines} from "./explain.js";
import {copyTree, undo} from "./replay.js";
import {moduleTree} from "./runs.js";
import {isLookup} from "./steps.js";

// The checks of the step the cursor is at, worked out by the port from a
// copy of the tree as its insertion found it; those of an insertion's
// every level are kept while its steps are shown.
export function checksAt(page) {
  const {steps, at, tree} = page.cursor;
  const step = steps[at];
  if (!step || isLookup(step) || step.levels === 0)
    return null;
  const kept = page.checks;
  if (!kept || kept.steps !== steps || kept.node !== step.node) {
    const before = copyTree(tree);
    let k = at;
    for (; k >= 0 && steps[k].node === step.node; k--)
      undo(before, steps[k]);
    page.checks = {steps, node: step.node,
                   levels: insertionChecks(moduleTree(before), step.value).levels};
  }
  return page.checks.levels[step.level - 1] ?? [];
}

// The lines of the source, each an element; the ones that act, by what
// they do, as the source marks them (data-acts).
export function startWhy() {
  const code = $("code");
  const acts = [];
  let line = 0;
  for (const part of code.childNodes) {
    if (part.dataset?.acts)
      acts.push([line, part.dataset.acts]);
    line += part.textContent.split("\n").length - 1;
  }
  const lines = code.textContent.replace(/\n$/, "").split("\n").map((text) => {
    const element = document.createElement("span");
    element.className = "line";
    element.textContent = text + "\n";
    return element;
  });
  code.replaceChildren(...lines);
  const kinds = {"turned right": [], "turned left": [], "leans right": [], "goes on down": []};
  for (const [at, kind] of acts)
    kinds[kind].push(lines[at]);
  return kinds;
}

// What the code did at the step: what its first turn, or its first stop,
// took; or, when no check turned or stopped, the way on down.
export function showWhy(page, step, checks) {
  const lines = !step ? [] : isLookup(step) ? wayLines(step, page.values) :
    checks ? checkLines(checks) : [];
  $("why").replaceChildren(...lines.map((text) => {
    const li = document.createElement("li");
    li.textContent = text;
    return li;
  }));
  for (const line of $("code").querySelectorAll(".taken"))
    line.classList.remove("taken");
  let note = "";
  if (checks && checks.length) {
    const first = checks.find(verdictOf);
    const verdict = first ? verdictOf(first) : null;
    const taken = !first ? "goes on down" : verdict.startsWith("turned right") ?
      "turned right" : verdict.startsWith("turned left") ? "turned left" : "leans right";
    for (const line of page.codeLines[taken])
      line.classList.add("taken");
    note = first ?
      `Marked: what the balancing did at ${first.a} (left ${first.hLeft}, ` +
      `right ${first.hRight}): it ${verdict.split(";")[0]}.` :
      "Marked: no node turned or stopped the balancing, so each went on " +
      "down to both its children.";
    if (checks.filter(verdictOf).length > 1)
      note += " Later checks of this step turned or stopped too, as told above.";
  }
  $("codeNote").textContent = note;
  $("whyHeading").textContent = step && isLookup(step) ? "The lookup's way down" :
    "What the balancing did";
}
