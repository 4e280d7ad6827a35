// Files the page gives the reader: the picture shown, as SVG with the page's
// style and its step's heading, and the answers of the run shown.

import {answersOf} from "./answers.js";
import {$} from "./dom.js";
import {svgNS} from "./still.js";

function download(blob, name) {
  const a = document.createElement("a");
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

// The picture says which step it shows: as its title, and in a caption
// under the tree.
export function saveSvg(page) {
  const copy = page.live.svg.cloneNode(true);
  copy.setAttribute("xmlns", svgNS);
  const heading = $("heading").textContent;
  const title = document.createElementNS(svgNS, "title");
  title.textContent = heading;
  const style = document.createElementNS(svgNS, "style");
  style.textContent = document.querySelector("style").textContent;
  copy.prepend(title, style);
  const width = Number(copy.getAttribute("width"));
  const height = Number(copy.getAttribute("height")) + 30;
  const caption = document.createElementNS(svgNS, "text");
  caption.setAttribute("class", "caption");
  caption.setAttribute("x", 10);
  caption.setAttribute("y", height - 10);
  caption.textContent = heading;
  copy.append(caption);
  copy.setAttribute("height", height);
  copy.setAttribute("viewBox", `0 0 ${width} ${height}`);
  const blob = new Blob([new XMLSerializer().serializeToString(copy)],
                        {type: "image/svg+xml"});
  download(blob, `rotadraw-step-${page.cursor.at + 1}.svg`);
}

export function saveAnswers(page) {
  download(new Blob([answersOf(page.cursor.steps)], {type: "text/plain"}),
           "answers.txt");
}
