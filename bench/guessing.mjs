// What a guesser scores on the predicting pages of a directory of records
// (the course's exercises, once `--target exercises` has made them): always
// the first choice, and always the last, of every part asked.
// Usage: node bench/guessing.mjs [RECORDS_DIR]  (default build/examples/exercises)
import {readdirSync, readFileSync} from "node:fs";
import {readRecord} from "../spawndraw/page/record.js";
import {buildRun} from "../spawndraw/page/run.js";
import {firstChoice, lastChoice, questionsOf, scoreOf, seedOf} from "../spawndraw/page/questions.js";

const dir = process.argv[2] ?? "build/examples/exercises";
for (const name of readdirSync(dir).filter((f) => f.endsWith(".events")).sort()) {
  const text = readFileSync(`${dir}/${name}`, "latin1");
  const questions = questionsOf(buildRun(readRecord(text)), [], seedOf(text));
  const scored = (guess) => {
    const score = scoreOf(questions, questions.map((q) => q.parts.map(guess)));
    const right = Object.values(score).reduce((n, s) => n + s.right, 0);
    const of = Object.values(score).reduce((n, s) => n + s.of, 0);
    return {right, of, kinds: Object.entries(score).map(([k, s]) => `${k} ${s.right}/${s.of}`)};
  };
  const first = scored(firstChoice), last = scored(lastChoice);
  console.log(`${name.replace(/\.events$/, "")}: first choice ${first.right} of ${first.of} ` +
              `(${first.kinds.join(", ")}); last choice ${last.right} of ${last.of}`);
}
