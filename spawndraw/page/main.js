// spawndraw's page: the run read from the page itself, replayed event by
// event with the player, keys, speed, address and downloads that rotadraw's
// page uses.

import {$} from "../../common/page/dom.js";
import {addressed, nameInAddress} from "../../common/page/address.js";
import {downloadSvg} from "../../common/page/download.js";
import {listenToKeys} from "../../common/page/keys.js";
import {pause, play, playing} from "../../common/page/player.js";
import {whenPrinted} from "../../common/page/printing.js";
import {largeText} from "../../common/page/projector.js";
import {changeSpeed} from "../../common/page/speed.js";
import {showAll} from "./all.js";
import {listenToPointing, showOutput} from "./output.js";
import {readExercise, startPredicting} from "./predict.js";
import {showOrders} from "./ordersview.js";
import {describeTree, drawTree, follow} from "./picture.js";
import {decodeUtf8, readRecord, shown, unescape} from "./record.js";
import {buildRun} from "./run.js";
import {stateAt, touched} from "./state.js";
import {columnAt, drawTimeline, showColumn, timelineBlocks} from "./timeline.js";
import {explain} from "./why.js";

const run = buildRun(readRecord($("run").textContent));
const exercise = readExercise();
let asked = false;
const words = $("words").textContent.replace(/^\n/, "").split("\n")
  .map((w) => decodeUtf8(unescape(w)));
const last = run.events.length - 1;
const player = {timer: null, at: () => at, last: () => last, go};
let at = 0;

function go(k) {
  at = Math.max(0, Math.min(last, k));
  const states = stateAt(run, at), marked = touched(run, at);
  const ev = run.events[at];
  $("heading").textContent = `Event ${ev.seq} of ${run.events[last].seq}: ${words[at] ?? ev.kind}`;
  if (!playing(player))
    $("said").textContent = $("heading").textContent;
  follow(drawTree(run, states, marked, at));
  $("treeText").textContent = describeTree(run, states);
  explain(run, words, states, marked, at);
  showColumn(run, at);
  drawTimeline(run, at);
  showOutput(run, at);
  $("slider").value = at + 1;
  $("where").textContent = `${at + 1} / ${last + 1}`;
  nameInAddress("event", at);
}

const PRINTED_BLOCKS = 40;

// Printed, the page shows the run as it ended, and the whole timeline in
// blocks a sheet wide; after, the event it showed.
function printing() {
  let was = -1;
  const before = () => {
    if (was >= 0 || location.hash === "#all")
      return;
    was = at;
    go(last);
    $("timePrint").replaceChildren(...timelineBlocks(run, last, 680, PRINTED_BLOCKS));
    if (run.events.length > $("timePrint").lastChild.dataset.to)
      $("timePrint").append(Object.assign(document.createElement("p"), {
        className: "hint",
        textContent: `The timeline printed is its first ${PRINTED_BLOCKS} blocks; ` +
          "the rest is on the screen."}));
  };
  const after = () => {
    if (was < 0)
      return;
    $("timePrint").replaceChildren();
    go(was);
    was = -1;
  };
  whenPrinted(before, after);
}
// A page made to be predicted opens asking, as does any at #predict; the
// run is shown once the reader asks for it by its address.
function view() {
  const asking = location.hash === "#predict" || (exercise.predict && location.hash === "");
  const all = location.hash === "#all";
  $("predicting").hidden = !asking;
  $("one").hidden = all || asking;
  $("every").hidden = !all;
  if (asking) {
    if (!asked) {
      asked = true;
      startPredicting(run, words, $("run").textContent, exercise.source);
    }
    history.replaceState(null, "", "#predict");
  } else if (all)
    showAll(run, words);
  else
    go(/^#event=\d+$/.test(location.hash) ? addressed("event") : last);
}

if (last < 0) {
  $("failure").hidden = false;
  $("failure").textContent = "The record holds no events.";
} else {
  // As a shell would need the arguments typed.
  const command = run.argv.map((a) => (/^[\w%+,./:=@-]+$/.test(a) ? a :
    `'${a.replaceAll("'", "'\\''")}'`)).map(shown).join(" ");
  $("title").textContent = `spawndraw ${command}`;
  document.title = `spawndraw: ${command}`;
  $("slider").max = last + 1;
  $("first").onclick = () => go(0);
  $("prev").onclick = () => go(at - 1);
  $("next").onclick = () => go(at + 1);
  $("last").onclick = () => go(last);
  $("play").onclick = () => (playing(player) ? pause(player) : play(player));
  $("slider").oninput = () => go(Number($("slider").value) - 1);
  $("save").onclick = () => downloadSvg($("tree"), `event-${at + 1}.svg`);
  $("timebox").addEventListener("scroll", () => drawTimeline(run, at));
  $("showChld").addEventListener("change", () => drawTimeline(run, at));
  $("toScale").addEventListener("change", () => {
    showColumn(run, at);
    drawTimeline(run, at);
  });
  $("timeline").addEventListener("click", (e) => {
    const c = columnAt(e.clientX);
    if (c >= 0 && c <= last)
      go(c);
  });
  listenToKeys({
    ArrowLeft: () => go(at - 1), ArrowRight: () => go(at + 1),
    Home: () => go(0), End: () => go(last),
    " ": () => $("play").click(),
    "+": () => changeSpeed(1), "-": () => changeSpeed(-1),
    s: () => $("save").click(),
    t: () => $("large").click(),
  }, () => location.hash !== "#all" && location.hash !== "#predict", () => {});
  largeText($("large"), () => {
    if (location.hash !== "#all" && last >= 0)
      go(at);
  });
  printing();
  listenToPointing();
  // A pipe clicked, or pressed, names its ends.
  const namePipe = (e) => {
    const link = e.target.closest("g.pipe");
    if (link && (e.type === "click" || e.key === "Enter" || e.key === " ")) {
      e.preventDefault();
      const li = document.createElement("li");
      li.textContent = link.dataset.words;
      $("standing").replaceChildren(li);
      $("said").textContent = link.dataset.words;
    }
  };
  $("tree").addEventListener("click", namePipe);
  $("tree").addEventListener("keydown", namePipe);
  addEventListener("hashchange", view);
  addEventListener("resize", () => drawTimeline(run, at));
  showOrders(run);
  $("one").hidden = false;
  view();
}
