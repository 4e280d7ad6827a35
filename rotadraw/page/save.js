// Files the page gives the reader: the picture shown, as SVG with the
// page's style, and the answers of the run shown. Provides saveSvg and
// saveAnswers. Uses answersOf (answers.js), svgNS (still.js).
"use strict";

function download(blob, name) {
  const a = document.createElement("a");
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

function saveSvg(page) {
  const copy = page.live.svg.cloneNode(true);
  copy.setAttribute("xmlns", svgNS);
  const style = document.createElementNS(svgNS, "style");
  style.textContent = document.querySelector("style").textContent;
  copy.prepend(style);
  const blob = new Blob([new XMLSerializer().serializeToString(copy)],
                        {type: "image/svg+xml"});
  download(blob, `rotadraw-step-${page.cursor.at + 1}.svg`);
}

function saveAnswers(page) {
  download(new Blob([answersOf(page.cursor.steps)], {type: "text/plain"}),
           "answers.txt");
}
