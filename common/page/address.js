// The address names the place shown, as #NAME=N from 1; a page may also be
// asked for another view by it.

// The place the address names as #name=N, from 0, or 0.
export function addressed(name) {
  const m = new RegExp(`^#${name}=(\\d+)$`).exec(location.hash);
  return m ? Number(m[1]) - 1 : 0;
}

// Names place k (from 0) in the address, or nothing for no place, without
// a new entry in the history.
export function nameInAddress(name, k) {
  history.replaceState(null, "", k >= 0 ? `#${name}=${k + 1}` :
    location.pathname + location.search);
}
