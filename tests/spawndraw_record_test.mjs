// spawndraw's page reads its record as the terminal does: the bytes a
// command chose are shown by the table that the C++ suite reads too.
import assert from "node:assert/strict";
import {readFileSync} from "node:fs";
import {test} from "node:test";
import {shown, unescape} from "../spawndraw/page/record.js";

const table = readFileSync(new URL("spawndraw/escapes.tsv", import.meta.url), "utf8")
  .split("\n").filter((l) => l !== "" && !l.startsWith("#")).map((l) => l.split("\t"));

test("bytes are shown as the terminal shows them", () => {
  assert.ok(table.length > 10);
  for (const [bytes, want] of table)
    assert.equal(shown(unescape(bytes)), want, bytes);
});
