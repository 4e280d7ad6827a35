// Beside the picture: what the balancing did at the step shown, in words, and
// the balancing's own source, its lines one element each, with the line that
// acted marked and the node it acted at named.

import {$} from "./dom.js";
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
// they do.
export function startWhy() {
  const code = $("code");
  const lines = code.textContent.replace(/\n$/, "").split("\n");
  code.replaceChildren(...lines.map((text) => {
    const line = document.createElement("span");
    line.className = "line";
    line.textContent = text + "\n";
    return line;
  }));
  const find = (text) => [...code.children].filter((l) => l.textContent.includes(text));
  return {
    "turned right": find("rotateRight(top);"),
    "turned left": find("rotateLeft(top);"),
    "leans right": find("if (hLeft < hRight) {"),
    "goes on down": find("= balancer(top->"),
  };
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
}
