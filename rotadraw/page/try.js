// Trying it: a value typed goes into the tree shown, after the insertion under
// way, or is looked up, with the tree module's algorithm; Undo takes a change
// back; a new run starts from answers pasted in. Each goes on from the tree on
// screen, so that none replays the run.

import {$} from "../../common/page/dom.js";
import {play} from "../../common/page/player.js";
import {showOne} from "./all.js";
import {readAnswers, unreadWords} from "./answers.js";
import {addStep, runStats, statsAt} from "./chart.js";
import {makeRun} from "./making.js";
import {leavePractice} from "./practise.js";
import {copyTree, treeAt} from "./replay.js";
import {insertSteps, lookupStep, moduleTree, runSteps} from "./runs.js";
import {setSteps} from "./showrun.js";
import {isLookup} from "./steps.js";

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

// The runs before each change: steps, the step shown, why the answers fell
// short, and their numbers with the tree at the step shown, which nothing
// moves again; and the recorded run's, once it has been left. A change
// shows other steps; undo shows the run before the last change; the
// recorded run comes back as a change of its own.
function newChanges(page) {
  const undoable = [];
  let recorded = null;
  const state = () => ({steps: page.cursor.steps, at: page.cursor.at,
                        failure: page.failure,
                        stats: {...page.stats, tree: page.cursor.tree, at: page.cursor.at}});
  const restore = (was, k) => {
    setSteps(page, was.steps, k, was.failure,
             {...was.stats, tree: copyTree(was.stats.tree)});
    $("undoButton").disabled = undoable.length === 0;
  };
  return {
    change(steps, k, failure, stats) {
      const was = state();
      if (was.steps === page.record.steps)
        recorded = was;
      undoable.push(was);
      setSteps(page, steps, k, failure, stats);
      $("undoButton").disabled = false;
    },
    undo() {
      const was = undoable.pop();
      if (was)
        restore(was, was.at);
    },
    toRecorded() {
      const k = Math.min(page.cursor.at, page.record.steps.length - 1);
      const was = recorded;
      undoable.push(state());
      restore(was, k);
    },
  };
}

// A change after the insertion shown: its steps, and the numbers of the run
// up to there, with a tree of their own to go on with. Returns how many
// steps were added.
function addSteps(page, changes, added) {
  const c = page.cursor;
  const k = keptSteps(c.steps, c.at);
  const tree = treeAt(c.steps, c.tree, c.at, k);
  const stats = statsAt(page.stats, k >= 0 ? c.steps[k].node : -1, k, tree);
  const steps = c.steps.slice(0, k + 1).concat(added(moduleTree(tree)));
  for (const step of steps.slice(k + 1))
    addStep(stats, step);
  changes.change(steps, k + 1, null, stats);
  return steps.length - k - 1;
}

export function startTrying(page) {
  const changes = newChanges(page);
  // The new steps play on from the first.
  $("tryForm").addEventListener("submit", (e) => {
    e.preventDefault();
    const a = typedValue();
    if (a === null)
      return;
    // So that Enter doesn't put the same value in again.
    $("value").value = "";
    if (addSteps(page, changes, (port) => insertSteps(port, a)) > 1)
      play(page.player);
  });
  $("lookUp").addEventListener("click", () => {
    const a = typedValue();
    if (a !== null)
      addSteps(page, changes, (port) => [lookupStep(port, a)]);
  });
  // A run that an address holds comes as a change, as a pasted one.
  page.openRun = (values, lookup, k) => {
    const steps = runSteps(values, lookup);
    changes.change(steps, Math.min(k, steps.length - 1), null, runStats(steps));
  };
  $("undoButton").addEventListener("click", changes.undo);
  $("recorded").addEventListener("click", changes.toRecorded);
  $("value").addEventListener("input", () => {
    $("valueMessage").textContent = "";
  });
  startPasting(page, changes.change);
}

// A new run from answers pasted in, made in slices: its progress shown, a
// long one proposed first, and either stopped at will.
function startPasting(page, change) {
  let stop = null;
  const say = (text, asking) => {
    $("answersMessage").textContent = text;
    $("goOn").hidden = !asking;
    $("stopMaking").hidden = stop === null;
  };
  const end = () => {
    stop = null;
    $("newRun").disabled = false;
    say("", false);
  };
  $("newRun").addEventListener("click", () => {
    const answers = readAnswers($("answers").value);
    const why = answers.failure ? `rotadraw: ${answers.failure}` : unreadWords(answers);
    if (!answers.counted)
      return say(why, false);
    $("newRun").disabled = true;
    let resumeMaking = null;
    stop = makeRun(answers.values, answers.lookup, {
      progress: (done, total) => say(`Making the steps: ${done} of ${total} values.`, false),
      propose: (ms, resume) => {
        resumeMaking = resume;
        say(`These ${answers.values.length} values would take about ` +
            `${Math.ceil(ms / 1000)} s to go in. Go on?`, true);
      },
      done: (steps, stats) => {
        end();
        // The new run is shown where it was asked for, one step at a time,
        // even if the reader has gone to every step or to practice since.
        if (!$("practise").hidden)
          leavePractice(page);
        else if ($("one").hidden)
          showOne(page, page.cursor.at);
        change(steps, steps.length - 1, answers.failure, stats);
        say(why, false);
      },
    });
    say("Making the steps.", false);
    $("goOn").onclick = () => {
      say("Making the steps.", false);
      resumeMaking();
    };
  });
  $("stopMaking").addEventListener("click", () => {
    if (stop)
      stop();
    end();
  });
}
