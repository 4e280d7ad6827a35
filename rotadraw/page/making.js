// A run made from answers without blocking the page: its insertions go in
// slices of about SLICE_MS, its numbers are kept as it goes, and a run that
// would take long is proposed before most of it is made.

import {addStep, newStats} from "./chart.js";
import {insertSteps, lookupStep} from "./runs.js";

const SLICE_MS = 50;
// What the maker works before it judges how long the whole will take.
const SAMPLE_MS = 300;
// A run that would take longer than this is proposed first.
const PROPOSE_MS = 10000;

// Calls `progress(done, total)` after each slice; `propose(ms, goOn)` once,
// when the whole looks like taking more than PROPOSE_MS (goOn() goes on);
// and `done(steps, stats)`. Returns a function that stops it.
export function makeRun(values, lookup, {progress, propose, done}) {
  const tree = {root: null, count: 0};
  const steps = [];
  const stats = newStats();
  const add = (step) => {
    steps.push(step);
    addStep(stats, step);
  };
  let i = 0, worked = 0, proposed = false, stopped = false;
  const slice = () => {
    if (stopped)
      return;
    const start = performance.now(), from = i;
    while (i < values.length && performance.now() - start < SLICE_MS)
      for (const step of insertSteps(tree, values[i++]))
        add(step);
    const spent = performance.now() - start;
    worked += spent;
    if (i === values.length) {
      if (lookup !== null)
        add(lookupStep(tree, lookup));
      setTimeout(() => stopped || done(steps, stats), 0);
      return;
    }
    progress(i, values.length);
    // An insertion costs about as much as the tree is large: from what the
    // last ones cost, the rest cost as much again for each as many nodes.
    const each = spent / (i - from) / i;
    const rest = (each * (values.length ** 2 - i ** 2)) / 2;
    if (!proposed && worked >= SAMPLE_MS && worked + rest > PROPOSE_MS) {
      proposed = true;
      propose(worked + rest, () => setTimeout(slice, 0));
      return;
    }
    setTimeout(slice, 0);
  };
  setTimeout(slice, 0);
  return () => {
    stopped = true;
  };
}
