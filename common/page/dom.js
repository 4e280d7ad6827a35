// The page's elements, by id.

export function $(id) {
  return document.getElementById(id);
}
