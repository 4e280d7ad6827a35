// The record that spawndraw wrote into the page, read back: its events,
// their details as bytes (a string of char codes 0 to 255), and bytes made
// fit to show.

// A field's bytes: \\ and \xHH are what the record escaped.
export function unescape(field) {
  return field.replace(/\\(\\|x([0-9a-fA-F]{2}))/g,
    (all, one, hex) => hex ? String.fromCharCode(parseInt(hex, 16)) : "\\");
}

// The events, after the header line; lines that aren't events are left.
export function readRecord(text) {
  const events = [];
  const lines = text.replace(/^\n/, "").split("\n");
  for (const line of lines.slice(1)) {
    const parts = line.split("\t");
    if (parts.length < 4 || !/^\d+$/.test(parts[0]))
      continue;
    // PID/TID for what a thread other than the first did.
    const [pid, tid] = parts[2].split("/").map(Number);
    events.push({seq: Number(parts[0]), us: Number(parts[1]), pid, tid: tid ?? 0,
                 kind: parts[3], f: parts.slice(4).map(unescape)});
  }
  return events;
}

// The well-formed UTF-8 character at bytes[i]: its length and code point;
// length 0 where the bytes there are no character (a byte that can't lead,
// a sequence cut short, an overlong form, a surrogate, past U+10FFFF).
function utf8At(bytes, i) {
  const c = bytes.charCodeAt(i);
  const n = c < 0x80 ? 1 : c < 0xc2 ? 0 : c < 0xe0 ? 2 : c < 0xf0 ? 3 : c < 0xf5 ? 4 : 0;
  if (n <= 1 || i + n > bytes.length)
    return {n: n === 1 ? 1 : 0, cp: c};
  let cp = c & (0x7f >> n);
  for (let k = 1; k < n; k++) {
    const b = bytes.charCodeAt(i + k);
    if ((b & 0xc0) !== 0x80)
      return {n: 0, cp: c};
    cp = cp * 64 + (b & 0x3f);
  }
  const least = [0, 0, 0x80, 0x800, 0x10000][n];
  const bad = cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff);
  return {n: bad ? 0 : n, cp};
}

// What a terminal acts on or that shows nothing: the C1 controls, the
// bidi controls, zero-width characters, the line and paragraph separators
// and tags.
const HIDDEN = [[0x80, 0x9f], [0xad, 0xad], [0x61c, 0x61c], [0x180e, 0x180e],
                [0x200b, 0x200f], [0x2028, 0x202e], [0x2060, 0x2064], [0x2066, 0x206f],
                [0xfeff, 0xfeff], [0xfff9, 0xfffb], [0x1d173, 0x1d17a],
                [0xe0001, 0xe0001], [0xe0020, 0xe007f]];
const hex = (v, width) => v.toString(16).padStart(width, "0");

// Bytes a command chose, as text to show, as the terminal drawing shows
// them: well-formed UTF-8 as it is; each byte of what isn't, and control
// bytes but tabs, as \xHH; a hidden character as \uHHHH or \UHHHHHHHH;
// a backslash doubled.
export function shown(bytes) {
  let s = "";
  for (let i = 0; i < bytes.length;) {
    const {n, cp} = utf8At(bytes, i);
    if (n === 0 || (n === 1 && (cp < 0x20 || cp === 0x7f) && cp !== 9)) {
      s += "\\x" + hex(bytes.charCodeAt(i), 2);
      i++;
      continue;
    }
    if (cp === 0x5c)
      s += "\\\\";
    else if (HIDDEN.some(([lo, hi]) => cp >= lo && cp <= hi))
      s += cp > 0xffff ? "\\U" + hex(cp, 8) : "\\u" + hex(cp, 4);
    else
      s += String.fromCodePoint(cp);
    i += n;
  }
  return s;
}

// spawndraw's own words, which are UTF-8.
export function decodeUtf8(bytes) {
  return new TextDecoder().decode(Uint8Array.from(bytes, (ch) => ch.charCodeAt(0)));
}
