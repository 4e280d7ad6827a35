// Zooming a picture in a box of its own: the sizes it can take, the next
// one in or out, what stood in the middle of the view kept there, and the
// picture dragged about with the mouse.

// The sizes a picture can be zoomed to, times its full size.
const ZOOMS = [0.05, 0.1, 0.25, 0.5, 0.75, 1, 1.5, 2, 3, 4];

// The size after zooming in (by 1) or out (by -1) from `now`, where `fit`
// is the size that fits the box: null, for fitted, once out past it.
export function nextZoom(now, fit, by) {
  const next = by > 0 ? ZOOMS.find((z) => z > now * 1.01) ?? ZOOMS[ZOOMS.length - 1] :
    [...ZOOMS].reverse().find((z) => z < now * 0.99);
  return next === undefined || (by < 0 && next <= fit) ? null : next;
}

// Redraws the picture in box by `redraw()`, keeping what stood in the
// middle of the view there.
export function keepingMiddle(box, redraw) {
  const middle = (box.scrollLeft + box.clientWidth / 2) / Math.max(1, box.scrollWidth);
  const down = (box.scrollTop + box.clientHeight / 2) / Math.max(1, box.scrollHeight);
  redraw();
  box.scrollLeft = middle * box.scrollWidth - box.clientWidth / 2;
  box.scrollTop = down * box.scrollHeight - box.clientHeight / 2;
}

// A zoomed picture is moved about by dragging it with the mouse; a finger
// scrolls it anyway.
export function panWhenDragged(box) {
  let from = null;
  box.addEventListener("pointerdown", (e) => {
    if (e.pointerType === "mouse" && box.scrollWidth + box.scrollHeight >
        box.clientWidth + box.clientHeight)
      from = {x: e.clientX, y: e.clientY};
  });
  addEventListener("pointermove", (e) => {
    if (!from)
      return;
    box.scrollBy(from.x - e.clientX, from.y - e.clientY);
    from = {x: e.clientX, y: e.clientY};
  });
  addEventListener("pointerup", () => {
    from = null;
  });
}
