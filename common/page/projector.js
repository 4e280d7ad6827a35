// Large text, for the back of a room: one control on each page (key t),
// the body's class "large", and "?projector" in the address, so that a
// page opened at that address starts so and an address shared keeps it.

export function largeText(box, changed = () => {}) {
  const set = (on, tell) => {
    box.checked = on;
    document.body.classList.toggle("large", on);
    const query = new URLSearchParams(location.search);
    if (query.has("projector") !== on) {
      if (on)
        query.set("projector", "");
      else
        query.delete("projector");
      const search = query.toString().replace(/=(&|$)/g, "$1");
      history.replaceState(history.state, "",
                           location.pathname + (search ? `?${search}` : "") + location.hash);
    }
    if (tell)
      changed(on);
  };
  box.addEventListener("change", () => set(box.checked, true));
  set(new URLSearchParams(location.search).has("projector"), false);
}
