// A still picture, as the text of an SVG: for every step on one page and for
// the picture downloaded.

import {svgNS} from "../../common/page/dom.js";
import {glyphOf} from "./layout.js";


export function escapeText(s) {
  return String(s).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/"/g, "&quot;");
}

export function pictureText(picture, label) {
  const {places, r, width, height} = picture;
  const glyph = glyphOf(r);
  const edges = places.filter((p) => p.up).map((p) =>
    `<line class="${p.edge}" x1="${p.up.x}" ` +
    `y1="${p.up.y}" x2="${p.x}" y2="${p.y}"/>`);
  const nodes = places.map((p) =>
    `<g class="node ${p.classes.join(" ")}" ` +
    `transform="translate(${p.x},${p.y}) scale(${picture.scale})">` +
    `<circle class="ring" r="${glyph.ring}"/><circle class="body" r="${r}"/>` +
    `<text class="role" y="${glyph.roleY}">\u25B2</text>` +
    `<text class="value">${p.node.a}</text>` +
    (p.height !== null ?
      `<text class="height" x="${glyph.heightX}" y="${glyph.heightY}">${p.height}</text>` : "") +
    "</g>");
  return `<svg xmlns="${svgNS}" width="${width}" height="${height}" ` +
         `viewBox="0 0 ${width} ${height}" role="img" ` +
         `aria-label="${escapeText(label)}">` +
         edges.join("") + nodes.join("") + "</svg>";
}
