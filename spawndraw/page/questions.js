// The questions a run can grade, asked before it is shown: how many
// processes the command made, who made each, who wrote each line, which
// orders of the output were possible, and who collected each process.
// Each question is parts, each part a thing to answer with its choices
// (shuffled by a seed that the record gives, so that the first is no
// better a guess than another), its right answer, and why, in the words
// the run is explained in.

import {outputLines} from "./output.js";
import {before, otherOrder, reasonBetween, writeClocks} from "./orders.js";
import {shown} from "./record.js";

export const KINDS = ["count", "tree", "writers", "pipes", "orders", "collected"];
export const KIND_NAMES = {count: "how many", tree: "the tree", writers: "who wrote what",
                           pipes: "the pipes", orders: "the orders",
                           collected: "who collected whom"};

// At most this many lines are asked about, and orders of this many writes.
const MOST_LINES = 4, MOST_WRITES = 10;

// A small generator of numbers from a seed, for shuffles that are the same
// at every opening of the page.
function random(seed) {
  let s = seed >>> 0 || 1;
  return () => {
    s ^= s << 13;
    s ^= s >>> 17;
    s ^= s << 5;
    return (s >>> 0) / 4294967296;
  };
}

export function seedOf(text) {
  let h = 2166136261;
  for (let k = 0; k < text.length; k++)
    h = Math.imul(h ^ text.charCodeAt(k), 16777619);
  return h >>> 0;
}

function shuffled(list, next) {
  const out = list.slice();
  for (let k = out.length - 1; k > 0; k--) {
    const j = Math.floor(next() * (k + 1));
    [out[k], out[j]] = [out[j], out[k]];
  }
  return out;
}

const ORDINALS = ["first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth"];

function ordinal(n) {
  return ORDINALS[n] ?? `${n + 1}th`;
}

// The processes the command made: every process below the command.
function madeByCommand(run) {
  return run.procs.map((p, i) => i).filter((i) => i !== run.root && i !== run.command &&
                                            run.procs[i].born >= 0);
}

function name(run, i) {
  const p = run.procs[i];
  return `${p.pid} (${p.programs[p.programs.length - 1]})`;
}

// The fork that made process i, as "8042's second fork".
function madeBy(run, i) {
  const p = run.procs[i], maker = p.maker >= 0 ? p.maker : p.parent;
  const forks = run.events.filter((ev, e) => ev.kind === "fork" && run.procOf[e] === maker &&
                                  e <= p.born).length;
  return `${run.procs[maker].pid}'s ${ordinal(forks - 1)} fork`;
}

// A line of text as the page shows it: escapes undone into what can be read.
function lineText(bytes) {
  const text = shown(bytes.replace(/\n$/, ""));
  return text.length > 60 ? `${text.slice(0, 59)}\u2026` : text;
}

function countQuestion(run, words) {
  const made = madeByCommand(run);
  const forks = made.map((i) => words[run.procs[i].born]).filter(Boolean);
  return {kind: "count", prompt: "How many processes did the command make, not counting itself?",
          parts: [{type: "number", label: "processes made", right: made.length,
                   why: `It made ${made.length}` +
                     (forks.length ? `: ${forks.slice(0, 4).join("; ")}` +
                       (forks.length > 4 ? "; \u2026" : "") : "")}]};
}

function treeQuestion(run, words, next) {
  const made = madeByCommand(run);
  if (!made.length)
    return null;
  // Anyone alive before it could have made it, as far as the student
  // knows: the command and every process made before it. The first made
  // can only be the command's, and is not asked.
  const earlierOf = (p) => [run.command, ...made.filter((k) => run.procs[k].born < p.born)];
  const asked = made.filter((i) => earlierOf(run.procs[i]).length > 1);
  if (!asked.length)
    return null;
  const parts = asked.map((i) => {
    const p = run.procs[i];
    const earlier = earlierOf(p);
    const maker = p.maker >= 0 ? p.maker : p.parent;
    return {type: "choice", label: `${p.pid} was made by`,
            choices: shuffled(earlier.map((k) => ({value: k, label: name(run, k)})), next),
            right: maker,
            why: (chosen) => `${p.pid} was made by ${madeBy(run, i)}` +
              (chosen !== undefined && chosen !== maker ?
                `, not by ${run.procs[chosen].pid}` : "") +
              (words[p.born] ? `: ${words[p.born]}` : "")};
  });
  return {kind: "tree", prompt: "Who made each process? Put each under its parent.", parts};
}

function writersQuestion(run, words, next) {
  const groups = new Map();
  for (const line of outputLines(run)) {
    if (line.bytes === "")
      continue;
    const key = JSON.stringify([line.bytes, line.where]);
    if (!groups.has(key))
      groups.set(key, {bytes: line.bytes, where: line.where, writers: new Set(), event: line.event});
    groups.get(key).writers.add(line.proc);
  }
  if (!groups.size)
    return null;
  // Of one process, who wrote is no question.
  const everyone = run.procs.map((p, i) => i).filter((i) => i !== run.root);
  if (everyone.length < 2)
    return null;
  const parts = [...groups.values()].slice(0, MOST_LINES).map((g) => {
    const into = g.where ? ` into ${shown(g.where)}` : "";
    const right = [...g.writers].sort((a, b) => a - b);
    return {type: "multi", label: `\u201c${lineText(g.bytes)}\u201d${into} was written by`,
            choices: shuffled(everyone.map((k) => ({value: k, label: name(run, k)})), next),
            right,
            why: () => `\u201c${lineText(g.bytes)}\u201d was written${into} by ` +
              right.map((k) => run.procs[k].pid).join(" and ") +
              (words[g.event] ? `: ${words[g.event]}` : "")};
  });
  return {kind: "writers", prompt: "Which processes wrote each line? Tick every one.", parts};
}

// Each pipe: which processes wrote into it, and which read from it.
function pipesQuestion(run, next) {
  const pipes = new Map();
  run.events.forEach((ev, e) => {
    if ((ev.kind !== "writeinto" && ev.kind !== "readfrom") || !/^pipe /.test(ev.f[1]) ||
        Number(ev.f[2]) <= 0)
      return;
    if (!pipes.has(ev.f[1]))
      pipes.set(ev.f[1], {wrote: new Set(), read: new Set(), maker: -1, fds: new Map()});
    const use = pipes.get(ev.f[1]), kind = ev.kind === "writeinto" ? "wrote" : "read";
    use[kind].add(run.procOf[e]);
    use.fds.set(kind, new Set([...(use.fds.get(kind) ?? []), ev.f[0]]));
  });
  run.events.forEach((ev, e) => {
    if (ev.kind === "pipe" && pipes.has(ev.f[0]))
      pipes.get(ev.f[0]).maker = run.procOf[e];
  });
  const everyone = run.procs.map((p, i) => i).filter((i) => i !== run.root);
  const parts = [];
  for (const [pipe, {wrote, read, maker, fds}] of [...pipes].slice(0, 2)) {
    const named = maker >= 0 ? `${pipe}, made by ${run.procs[maker].pid},` : pipe;
    for (const [set, verb, kind] of [[wrote, "wrote into", "wrote"], [read, "read from", "read"]]) {
      if (!set.size)
        continue;
      const right = [...set].sort((a, b) => a - b);
      // By the descriptor they used: 0 or 1 where dup2 put the end there.
      const used = [...fds.get(kind)].sort((a, b) => a - b);
      const end = kind === "wrote" ? "write" : "read";
      const moved = used.every((fd) => Number(fd) <= 2) ?
        ", where the shell or the program put it with dup2" : "";
      parts.push({type: "multi", label: `These ${verb} ${named}:`,
                  choices: shuffled(everyone.map((k) => ({value: k, label: name(run, k)})), next),
                  right,
                  why: () => `${right.map((k) => name(run, k)).join(" and ")} ${verb} ${pipe}` +
                    `: its ${end} end was their descriptor ${used.join(" or ")}${moved}`});
    }
  }
  return parts.length ? {kind: "pipes", prompt: "Who used each pipe? Tick every one.", parts} :
    null;
}

// Orders of the output: the one that happened and another that could have,
// and ones that break what had to come first, each with its reason.
function ordersQuestion(run, next) {
  const clocks = writeClocks(run);
  const w = clocks.writes;
  if (w.length < 2 || w.length > MOST_WRITES || !clocks.writers.length)
    return null;
  // A write as its lines, the first of them when it is named.
  const bytesOf = (write) => (run.events[write.event].f[2] ?? "").replace(/\n$/, "");
  const textOf = (write) => lineText(bytesOf(write).split("\n").pop());
  const wholeOf = (write) => bytesOf(write).split("\n").map((l) => shown(l)).join("\n");
  const pid = (write) => run.procs[write.proc].pid;
  const pidOf = (i) => run.procs[i].pid;
  const because = (a, b) => {
    const r = reasonBetween(run, a.proc, a.event, b.proc, b.event);
    return !r ? "a fork or a wait put one after the other" :
      r.forker !== undefined ? `${pidOf(r.forker)} wrote it before it forked ${pidOf(r.forked)}` :
      `${pidOf(r.waiter)} waited for ${pidOf(r.waitedFor)} to end before ` +
        (r.then === null ? "it wrote" : `it forked ${pidOf(r.then)}`);
  };
  // One order that was possible (another than the run's, where there is
  // one), and up to three that were not: a guess of "possible" for all
  // is right on few.
  const other = otherOrder(clocks);
  const candidates = [other ?
    {order: other.order, possible: true,
     why: `nothing made ${pid(w[other.at])} and ${pid(w[other.at + 1])} wait for each ` +
       "other there"} :
    {order: w, possible: true, why: "it is the order the run wrote them in"}];
  // Writes moved ahead of one they had to follow.
  for (let b = 1, moved = 0; b < w.length && moved < 2; b++) {
    const a = w.findIndex((x) => x.writer !== w[b].writer && before(x, w[b]));
    if (a >= 0 && a < b) {
      moved++;
      const order = w.slice();
      order.splice(b, 1);
      order.splice(a, 0, w[b]);
      candidates.push({order, possible: false,
                       why: `${pid(w[b])}'s \u201c${textOf(w[b])}\u201d had to come after ` +
                         `${pid(w[a])}'s \u201c${textOf(w[a])}\u201d: ${because(w[a], w[b])}`});
    }
  }
  // One process's writes out of its own order.
  for (let k = 1; k < w.length && candidates.length < 4; k++) {
    const a = w.findIndex((x) => x.writer === w[k].writer && x.index < w[k].index &&
                          textOf(x) !== textOf(w[k]));
    if (a >= 0) {
      const order = w.slice();
      [order[a], order[k]] = [order[k], order[a]];
      candidates.push({order, possible: false,
                       why: `${pid(w[k])} wrote \u201c${textOf(w[a])}\u201d before ` +
                         `\u201c${textOf(w[k])}\u201d: a process's own writes keep its order`});
      break;
    }
  }
  // Whether some order that was possible reads as these texts do: the
  // same line written by two processes makes orders that differ look
  // alike, and what looks possible is.
  const mustFollow = w.map((x) => w.filter((y) => y !== x &&
    (y.writer === x.writer ? y.index < x.index : before(y, x))));
  const readsPossible = (texts) => {
    const placed = new Set();
    const from = (k) => k === texts.length || w.some((x) => {
      if (placed.has(x) || wholeOf(x) !== texts[k] || mustFollow[w.indexOf(x)]
        .some((y) => !placed.has(y)))
        return false;
      placed.add(x);
      const ok = from(k + 1);
      placed.delete(x);
      return ok;
    });
    return from(0);
  };
  // Orders that read alike are one candidate.
  const seen = new Set(), parts = [];
  for (const c of shuffled(candidates, next)) {
    const key = c.order.map(wholeOf).join("\n");
    if (seen.has(key) || (!c.possible && readsPossible(c.order.map(wholeOf))))
      continue;
    seen.add(key);
    parts.push({type: "yesno", label: `Output ${parts.length + 1}`, lines: c.order.map(wholeOf),
                right: c.possible,
                why: () => `${c.possible ? "Possible" : "Not possible"}: ${c.why}`});
  }
  if (parts.length < 2)
    return null;
  return {kind: "orders", prompt: "Could the output have come in each of these orders?",
          parts};
}

// A zombie where its parent wasn't waiting as it ended; an orphan adopted
// before its end has a new parent, init or a subreaper, that collects it at
// once.
export function wasZombie(p) {
  return p.ended >= 0 && !!p.zombie && p.reaped >= 0 && !(p.adopted >= 0 && p.adopted < p.ended);
}

function collectedQuestion(run, words, next) {
  const made = madeByCommand(run);
  if (!made.length)
    return null;
  const parts = [];
  for (const i of made) {
    const p = run.procs[i];
    const options = new Map([[String(run.procs[p.parent].pid), name(run, p.parent)],
                             ["1", "1 (init), as an orphan"],
                             ["kernel", "the kernel: nobody waited"],
                             ["none", "nobody: still running at the end"]]);
    if (p.adopter && p.adopter !== 1)
      options.set(String(p.adopter), `${p.adopter}, a subreaper, as an orphan`);
    const right = p.reaped < 0 ? "none" : p.reaper === 0 ? "kernel" : String(p.reaper);
    if (!options.has(right))
      options.set(right, right);
    const orphan = p.adopted >= 0, zombie = wasZombie(p);
    parts.push({type: "choice", label: `${p.pid} was collected by`,
                choices: shuffled([...options].map(([value, label]) => ({value, label})), next),
                right,
                why: () => (p.reaped >= 0 && words[p.reaped] ? words[p.reaped] :
                  `${p.pid} was not collected while the run was followed`)});
    parts.push({type: "choice", label: `${p.pid} was`,
                choices: shuffled([{value: "neither", label: "neither a zombie nor an orphan"},
                                   {value: "zombie", label: "a zombie"},
                                   {value: "orphan", label: "an orphan"},
                                   {value: "both", label: "a zombie and an orphan"}], next),
                right: zombie && orphan ? "both" : zombie ? "zombie" : orphan ? "orphan" :
                  "neither",
                why: () => `${p.pid} was ${zombie ? "a zombie: it ended before its parent " +
                  "waited for it" : "no zombie"}, and ${orphan ? "an orphan: its parent " +
                  "ended before it" : "no orphan"}`});
  }
  return {kind: "collected", prompt: "Who collected each process, and was it a zombie or " +
            "an orphan?", parts};
}

// The questions of the run, in the order they are asked, their choices
// shuffled by seed.
function shuffledBy(run, words, seed) {
  const next = random(seed);
  return [countQuestion(run, words), treeQuestion(run, words, next),
          writersQuestion(run, words, next), pipesQuestion(run, next), ordersQuestion(run, next),
          collectedQuestion(run, words, next)].filter(Boolean);
}

// The part of the answers that a guesser who always answers by `guess`
// gets right.
export function guessed(questions, guess) {
  const score = scoreOf(questions, questions.map((q) => q.parts.map(guess)));
  const all = Object.values(score);
  return all.reduce((n, s) => n + s.right, 0) / Math.max(1, all.reduce((n, s) => n + s.of, 0));
}

// The questions, shuffled so that neither always taking the first choice
// nor always the last scores half: of a small run, a shuffle may put most
// right answers first by chance, so the first seed from the record's that
// passes neither guesser is taken.
export function questionsOf(run, words, seed) {
  let best = null, bestScore = 2;
  for (let k = 0; k < 64; k++) {
    const questions = shuffledBy(run, words, (seed + k * 2654435761) >>> 0);
    const score = Math.max(guessed(questions, firstChoice), guessed(questions, lastChoice));
    if (score < 0.5)
      return questions;
    if (score < bestScore)
      [best, bestScore] = [questions, score];
  }
  return best;
}

// Whether an answer to a part is right: a number, a choice's value, a set
// of values, or true for possible.
export function graded(part, answer) {
  if (part.type === "multi") {
    const a = [...(answer ?? [])].map(String).sort(), r = part.right.map(String).sort();
    return a.length === r.length && a.every((v, k) => v === r[k]);
  }
  return String(answer) === String(part.right);
}

// The answer that a guesser who always takes the first choice gives: for
// a number, the field's first step up, 0.
export function firstChoice(part) {
  return part.type === "number" ? 0 : part.type === "multi" ? [part.choices[0].value] :
    part.type === "yesno" ? true : part.choices[0].value;
}

// The answer of one who always takes the last choice.
export function lastChoice(part) {
  return part.type === "number" ? 0 : part.type === "multi" ?
    [part.choices[part.choices.length - 1].value] :
    part.type === "yesno" ? false : part.choices[part.choices.length - 1].value;
}

// Right answers and parts, by kind.
export function scoreOf(questions, answers) {
  const score = {};
  questions.forEach((q, n) => {
    score[q.kind] ??= {right: 0, of: 0};
    q.parts.forEach((part, k) => {
      score[q.kind].of++;
      if (answers[n]?.[k] !== undefined && graded(part, answers[n][k]))
        score[q.kind].right++;
    });
  });
  return score;
}
