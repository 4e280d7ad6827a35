// The page's elements, by id, and the namespace of its pictures.

export const svgNS = "http://www.w3.org/2000/svg";

export function $(id) {
  return document.getElementById(id);
}

// An SVG element with its attributes, put at the end of parent if given.
export function svgElement(name, attrs, parent) {
  const el = document.createElementNS(svgNS, name);
  for (const [k, v] of Object.entries(attrs))
    el.setAttribute(k, v);
  if (parent)
    parent.append(el);
  return el;
}
