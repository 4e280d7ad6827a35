// The keys of a page, wherever the focus is, but in a field, and but where
// a focused control takes the key itself: Space and Enter press or open the
// control that has focus, and a slider takes the arrows, Home and End.

// `keys` maps a key to what it does; `active()` says whether they work now.
// Alt with + or - zooms by `zoomBy(1)` or `zoomBy(-1)`.
export function listenToKeys(keys, active, zoomBy) {
  document.addEventListener("keydown", (e) => {
    const t = e.target;
    const zoom = {Equal: 1, NumpadAdd: 1, Minus: -1, NumpadSubtract: -1}[e.code];
    if (e.altKey && zoom && active()) {
      e.preventDefault();
      zoomBy(zoom);
      return;
    }
    const field = t.matches("textarea, select, input:not([type=range]):not([type=checkbox])");
    const own = t.matches("input[type=range]") ? /^(Arrow|Home|End)/.test(e.key) :
      t.matches("button, input[type=checkbox], a, summary") &&
      (e.key === " " || e.key === "Enter");
    if (field || own || e.ctrlKey || e.altKey || e.metaKey || !keys[e.key] || !active())
      return;
    e.preventDefault();
    keys[e.key]();
  });
}
