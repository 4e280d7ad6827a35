// The page that asks before it shows: the run hidden, its questions one at
// a time, each answer checked at once against the record and the part of
// the run it is about shown then, a wrong one told why; at the end, the
// score by kind of question and the way to the whole run.

import {$} from "../../common/page/dom.js";
import {outputLines} from "./output.js";
import {KIND_NAMES, KINDS, graded, questionsOf, scoreOf, seedOf, wasZombie} from "./questions.js";
import {decodeUtf8, shown, unescape} from "./record.js";

// What the page was made to ask, and the program's source: the exercise's
// element holds "predict" or "watch", then the source as one escaped line.
export function readExercise() {
  const [mode = "watch", source = ""] = ($("exercise")?.textContent ?? "")
    .replace(/^\n/, "").split("\n");
  return {predict: mode === "predict",
          source: decodeUtf8(unescape(source))};
}

// What the exercise is about: the comment the source opens with.
export function aboutOf(source) {
  const block = /^\s*\/\*([\s\S]*?)\*\//.exec(source);
  const text = block ? block[1].split("\n").map((l) => l.replace(/^\s*\*?\s?/, "")) :
    (/^(\s*\/\/.*\n?)+/.exec(source)?.[0] ?? "").split("\n")
      .map((l) => l.replace(/^\s*\/\/\s?/, ""));
  return text.join(" ").replace(/\s+/g, " ").trim();
}

function element(tag, props = {}, ...children) {
  const e = Object.assign(document.createElement(tag), props);
  e.append(...children);
  return e;
}

// The tree as text, as the terminal draws it; with each process's end and
// who collected it, for the question about that.
function treeLines(run, ends) {
  const lines = [];
  const walk = (i, indent, last) => {
    const p = run.procs[i];
    const end = !ends ? "" : p.reaped < 0 ? ": not collected" :
      `: collected by ${p.reaper === 0 ? "the kernel" : p.reaper}` +
        (wasZombie(p) ? ", a zombie first" : "") + (p.adopted >= 0 ? `, an orphan` : "");
    lines.push(`${indent}${i === run.command ? "" : last ? "\u2514\u2500 " : "\u251c\u2500 "}` +
               `${p.pid} ${p.programs[p.programs.length - 1]}${end}`);
    const kids = p.children.filter((k) => run.procs[k].born >= 0);
    kids.forEach((k, n) => walk(k, i === run.command ? indent :
      indent + (last ? "   " : "\u2502  "), n === kids.length - 1));
  };
  if (run.command >= 0)
    walk(run.command, "", true);
  return lines.join("\n");
}

function outputText(run) {
  return outputLines(run).map((l) => `${run.procs[l.proc].pid}` +
    `${l.where ? ` \u2192 ${shown(l.where)}` : ""} \u2502 ${shown(l.bytes)}`).join("\n");
}

// The part of the run a question is about, shown once it is answered.
function revealed(run, q) {
  const text = q.kind === "writers" ? outputText(run) :
    q.kind === "orders" ? `The order it came in:\n${q.shown}` :
    treeLines(run, q.kind === "collected");
  return element("pre", {className: "revealed"}, text);
}

function partInputs(part, n, k) {
  const id = `q${n}p${k}`;
  if (part.type === "number") {
    const input = element("input", {type: "number", min: 0, step: 1, id, inputMode: "numeric",
                                     required: true});
    return {box: element("p", {}, element("label", {htmlFor: id}, `${part.label}: `), input),
            read: () => (input.value === "" ? undefined : Number(input.value))};
  }
  if (part.type === "choice") {
    const select = element("select", {id},
                           element("option", {value: ""}, "choose\u2026"),
                           ...part.choices.map((c) => element("option", {value: c.value},
                                                               c.label)));
    return {box: element("p", {}, element("label", {htmlFor: id}, `${part.label} `), select),
            read: () => (select.value === "" ? undefined : select.value)};
  }
  const set = element("fieldset", {});
  set.append(element("legend", {}, part.label));
  if (part.lines)
    set.append(element("ol", {className: "order"},
                       ...part.lines.map((l) => element("li", {}, l))));
  const boxes = (part.type === "yesno" ?
    [{value: true, label: "possible"}, {value: false, label: "not possible"}] :
    part.choices).map((c, j) => {
    const input = element("input", {type: part.type === "yesno" ? "radio" : "checkbox",
                                     name: id, id: `${id}c${j}`, value: String(c.value)});
    set.append(element("label", {className: "choice"}, input, ` ${c.label}`));
    return {input, value: c.value};
  });
  return {box: set,
          read: () => (part.type === "yesno" ?
            boxes.find((b) => b.input.checked)?.value :
            boxes.filter((b) => b.input.checked).map((b) => b.value))};
}

// Asks the questions of the run one by one; `done` shows the whole run.
export function startPredicting(run, words, recordText, source) {
  const questions = questionsOf(run, words, seedOf(recordText));
  const orders = questions.find((q) => q.kind === "orders");
  if (orders)
    orders.shown = run.events.filter((ev) => ev.kind === "write")
      .flatMap((ev) => (ev.f[2] ?? "").replace(/\n$/, "").split("\n").map(shown)).join("\n");
  const answers = questions.map(() => []);
  const about = aboutOf(source);
  $("about").hidden = !about;
  $("about").textContent = about;
  $("sourcePanel").hidden = !source;
  $("source").textContent = source;
  $("asked").replaceChildren();
  $("scored").hidden = true;
  const ask = (n) => {
    if (n >= questions.length)
      return finish();
    const q = questions[n];
    const form = element("form", {className: "question", id: `question${n}`});
    const heading = element("h3", {id: `prompt${n}`, tabIndex: -1},
                            `Question ${n + 1} of ${questions.length}: ${q.prompt}`);
    form.setAttribute("aria-labelledby", heading.id);
    const inputs = q.parts.map((part, k) => partInputs(part, n, k));
    const check = element("button", {type: "submit"}, "Check");
    const verdict = element("div", {className: "verdict", role: "status"});
    form.append(heading, ...inputs.map((i) => i.box), check, verdict);
    $("asked").append(form);
    // The next question takes the focus; the first leaves the page at
    // its top, where the program is read first.
    if (n > 0)
      heading.focus();
    form.addEventListener("submit", (e) => {
      e.preventDefault();
      if (check.disabled)
        return;
      check.disabled = true;
      for (const el of form.querySelectorAll("input, select"))
        el.disabled = true;
      let right = 0;
      const said = q.parts.map((part, k) => {
        const answer = answers[n][k] = inputs[k].read();
        const ok = answer !== undefined && graded(part, answer);
        right += ok;
        const why = typeof part.why === "function" ?
          part.why(part.type === "choice" && answer !== undefined ?
            part.choices.find((c) => String(c.value) === answer)?.value : undefined) :
          part.why;
        return element("li", {className: ok ? "right" : "wrong"},
                       ok ? `\u2713 ${part.label}: right` :
                         `\u2717 ${part.label}: ${answer === undefined ? "not answered" :
                           "wrong"}. ${why}`);
      });
      verdict.append(element("p", {className: "tally"},
                             `${right} of ${q.parts.length} right.`),
                     element("ul", {}, ...said), revealed(run, q));
      const go = element("button", {type: "button"},
                         n + 1 < questions.length ? "Next question" : "See your score");
      go.addEventListener("click", () => {
        go.disabled = true;
        ask(n + 1);
      });
      verdict.append(go);
      go.focus();
    });
  };
  const finish = () => {
    const score = scoreOf(questions, answers);
    $("score").replaceChildren(...KINDS.filter((k) => score[k]).map((k) =>
      element("li", {}, `${KIND_NAMES[k]}: ${score[k].right} of ${score[k].of}`)));
    $("scored").hidden = false;
    $("seeRun").focus();
  };
  ask(0);
  return questions;
}
