// Trying it: a value typed goes into the tree shown, after the insertion
// under way, or is looked up, with the tree module's algorithm; Undo takes
// a change back; a new run starts from answers pasted in. Provides
// startTrying. Uses insertSteps, lookupStep, runSteps and moduleTree
// (runs.js), treeAt (replay.js), readAnswers (answers.js), the step kinds
// (steps.js), play (player.js), $, setSteps (main.js).
"use strict";

// The steps that stay when a value goes in or is looked up: those up to
// the end of the insertion shown. A lookup is the run's last step: a new
// one takes the place of the old.
function keptSteps(steps, at) {
  let k = at;
  if (k >= 0 && isLookup(steps[k]))
    k--;
  while (k >= 0 && k + 1 < steps.length && steps[k + 1].node === steps[k].node)
    k++;
  return k;
}

// A value typed: a 32-bit integer, or a message beside the field.
function typedValue() {
  const text = $("value").value.trim();
  const why = text === "" ? "Type a value first." :
    !/^[+-]?[0-9]+$/.test(text) ? "Not a number: type an integer such as 42." :
    Math.abs(Number(text) + 0.5) > 2147483648 ?
      "Out of range: values are 32-bit, -2147483648 to 2147483647." : null;
  $("valueMessage").textContent = why ?? "";
  $("value").setAttribute("aria-invalid", why ? "true" : "false");
  return why ? null : Number(text);
}

function startTrying(page) {
  const undoable = []; // the runs before each change, and the step shown
  const showSteps = (steps, k) => {
    setSteps(page, steps, k);
    $("undoButton").disabled = undoable.length === 0;
  };
  const change = (steps, k) => {
    undoable.push({steps: page.cursor.steps, at: page.cursor.at});
    showSteps(steps, k);
  };
  // What a change keeps, and the module's tree as the kept steps leave it.
  const kept = () => {
    const k = keptSteps(page.cursor.steps, page.cursor.at);
    return {k, tree: moduleTree(treeAt(page.cursor.steps, k)),
            steps: page.cursor.steps.slice(0, k + 1)};
  };

  // The new steps play on from the first.
  $("tryForm").addEventListener("submit", (e) => {
    e.preventDefault();
    const a = typedValue();
    if (a === null)
      return;
    const {k, tree, steps} = kept();
    const added = insertSteps(tree, a);
    change(steps.concat(added), k + 1);
    if (added.length > 1)
      play(page);
  });
  $("lookUp").addEventListener("click", () => {
    const a = typedValue();
    if (a === null)
      return;
    const {k, tree, steps} = kept();
    change(steps.concat([lookupStep(tree, a)]), k + 1);
  });
  $("undoButton").addEventListener("click", () => {
    const was = undoable.pop();
    if (was)
      showSteps(was.steps, was.at);
  });
  $("recorded").addEventListener("click", () =>
    change(page.record.steps, Math.min(page.cursor.at, page.record.steps.length - 1)));
  $("newRun").addEventListener("click", () => {
    const answers = readAnswers($("answers").value);
    $("answersMessage").textContent =
      answers.failure ? `rotadraw: ${answers.failure}` : "";
    if (answers.counted) {
      const steps = runSteps(answers.values, answers.lookup);
      change(steps, steps.length - 1);
    }
  });
  $("value").addEventListener("input", () => {
    $("valueMessage").textContent = "";
  });
}
