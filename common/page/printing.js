// What a page does to be printed, and undoes after: on the browser's own
// print, and where only the print media is asked for (as a test does).

export function whenPrinted(before, after) {
  addEventListener("beforeprint", before);
  addEventListener("afterprint", after);
  matchMedia("print").addEventListener("change", (e) => (e.matches ? before() : after()));
}
