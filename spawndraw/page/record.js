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
    events.push({seq: Number(parts[0]), us: Number(parts[1]), pid: Number(parts[2]),
                 kind: parts[3], f: parts.slice(4).map(unescape)});
  }
  return events;
}

// The length of the well-formed UTF-8 character at bytes[i], or 0.
function utf8Length(bytes, i) {
  const c = bytes.charCodeAt(i);
  const n = c < 0x80 ? 1 : c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 :
    c >= 0xf0 && c <= 0xf4 ? 4 : 0;
  if (n <= 1 || i + n > bytes.length)
    return n;
  let cp = c & (0xff >> (n + 1));
  for (let k = 1; k < n; k++) {
    const b = bytes.charCodeAt(i + k);
    if ((b & 0xc0) !== 0x80)
      return 0;
    cp = cp * 64 + (b & 0x3f);
  }
  const least = [0, 0, 0x80, 0x800, 0x10000][n];
  return cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff) ? 0 : n;
}

// Bytes a command chose, as text to show: well-formed UTF-8 as it is, any
// other byte, and control bytes but tabs, as \xHH, a backslash doubled; as
// the terminal drawing shows them.
export function shown(bytes) {
  let s = "";
  for (let i = 0; i < bytes.length; i++) {
    const c = bytes.charCodeAt(i);
    const n = utf8Length(bytes, i);
    if (n > 1) {
      s += decodeUtf8(bytes.slice(i, i + n));
      i += n - 1;
    } else if (c === 0x5c) {
      s += "\\\\";
    } else if (n === 0 || (c < 0x20 && c !== 9) || c === 0x7f) {
      s += "\\x" + c.toString(16).padStart(2, "0");
    } else {
      s += bytes[i];
    }
  }
  return s;
}

// spawndraw's own words, which are UTF-8.
export function decodeUtf8(bytes) {
  return new TextDecoder().decode(Uint8Array.from(bytes, (ch) => ch.charCodeAt(0)));
}
