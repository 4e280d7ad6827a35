// Files a page gives the reader, and its picture as SVG, with the page's
// style, titled and captioned with what it shows.

import {$, svgNS} from "./dom.js";

export function download(blob, name) {
  const a = document.createElement("a");
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

// The picture says what it shows, the page's #heading: as its title, and
// in a caption under the picture.
export function downloadSvg(svg, name) {
  const copy = svg.cloneNode(true);
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
  download(new Blob([new XMLSerializer().serializeToString(copy)], {type: "image/svg+xml"}),
           name);
}
