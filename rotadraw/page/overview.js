// Beside a picture larger than its box, the whole tree small: an outline,
// with the step's marked nodes and the lookup's way drawn over it large
// enough to see at any size, and the part in view framed. Clicking it
// brings that part into view.

import {$, svgElement} from "../../common/page/dom.js";

const WIDTH = 240, HEIGHT = 120;
const MARKED = ["moved", "pivot", "riser"];

function scaleOf(picture) {
  return Math.min(WIDTH / picture.width, HEIGHT / picture.height);
}

// The frame of the part of the picture in view.
export function frameOverview(live) {
  const svg = $("overview"), box = live.container;
  const frame = svg.querySelector(".frame");
  if (!frame || !live.picture)
    return;
  const s = scaleOf(live.picture);
  frame.setAttribute("x", box.scrollLeft * s);
  frame.setAttribute("y", box.scrollTop * s);
  frame.setAttribute("width", Math.min(box.clientWidth, live.picture.width) * s);
  frame.setAttribute("height", Math.min(box.clientHeight, live.picture.height) * s);
}

export function drawOverview(live) {
  const svg = $("overview"), box = live.container, picture = live.picture;
  const big = picture.width > box.clientWidth + 1 || picture.height > box.clientHeight + 1;
  $("overviewBox").hidden = !big;
  if (!big)
    return;
  const s = scaleOf(picture);
  svg.setAttribute("width", Math.ceil(picture.width * s));
  svg.setAttribute("height", Math.ceil(picture.height * s));
  svg.replaceChildren();
  const at = (v) => Math.round(v * s * 10) / 10;
  const edges = [], dots = [], way = [];
  for (const p of picture.places) {
    if (p.up)
      (p.classes.includes("path") && p.up.classes.includes("path") ? way : edges)
        .push(`M${at(p.up.x)} ${at(p.up.y)}L${at(p.x)} ${at(p.y)}`);
    dots.push(`M${at(p.x)} ${at(p.y)}h0`);
  }
  svgElement("path", {class: "edges", d: edges.join("")}, svg);
  svgElement("path", {class: "dots", d: dots.join("")}, svg);
  svgElement("path", {class: "way", d: way.join("")}, svg);
  for (const p of picture.places)
    if (p.classes.some((c) => MARKED.includes(c)) || (p.classes.includes("path") && !p.up))
      svgElement("circle", {class: "marked", cx: at(p.x), cy: at(p.y), r: 4}, svg);
  svgElement("rect", {class: "frame"}, svg);
  frameOverview(live);
}

// A click on the overview scrolls the picture to put that point in the
// middle of its box.
export function listenToOverview(live) {
  $("overview").addEventListener("click", (e) => {
    if (!live.picture)
      return;
    const s = scaleOf(live.picture), r = $("overview").getBoundingClientRect();
    const box = live.container;
    box.scrollTo({left: (e.clientX - r.left) / s - box.clientWidth / 2,
                  top: (e.clientY - r.top) / s - box.clientHeight / 2});
  });
}
