// The page's elements, by id, and the namespace of its pictures.

export const svgNS = "http://www.w3.org/2000/svg";

export function $(id) {
  return document.getElementById(id);
}
