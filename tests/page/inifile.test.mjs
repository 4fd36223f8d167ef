// A file given as the INI: read whole up to the largest size that the page
// takes, refused unread above it with its size in words, and a file that the
// browser cannot read answered in words, never by an error.
import assert from "node:assert/strict";
import { test } from "node:test";
import { LARGEST, readIni } from "../../page/inifile.js";
import { readSettings } from "../../page/reading.js";

/** A file of this size whose reading is recorded, or fails as a browser's may. */
const file = (/** @type {number} */ size, /** @type {Error | null} */ failure = null) => {
  const seen = { read: false };
  return { seen, size, arrayBuffer: async () => {
    seen.read = true;
    if (failure) throw failure;
    return new TextEncoder().encode("[BloodDecal]\r\nRed=7\r\n").buffer;
  } };
};

test("a file over the largest size is refused unread, its size said in words that agree with it", async () => {
  const sizes = [LARGEST + 1, LARGEST + 2 ** 20, 2 ** 31 - 1, 2 ** 31, 2 ** 31 + 1, 5 * 2 ** 30 + 12345, 2 ** 40];
  for (const size of sizes) {
    const given = file(size);
    const { bytes, read } = await readIni(given);
    assert.equal(given.seen.read || bytes !== null || read.ini, false, `${size}: read`);
    const [, amount, unit, exact] = /(\d+\.\d) (MB|GB) \(([\d,]+) bytes\)/.exec(read.notes[0].text) ?? [];
    assert.equal(Number(exact?.replaceAll(",", "")), size, read.notes[0].text);
    assert.ok(Math.abs(Number(amount) * (unit === "GB" ? 2 ** 30 : 2 ** 20) - size) <= 0.05 * (unit === "GB" ? 2 ** 30
      : 2 ** 20), `${size}: ${amount} ${unit}`);
  }
  for (const size of [0, 1, LARGEST - 1, LARGEST]) {
    const given = file(size);
    const { bytes, read } = await readIni(given);
    assert.ok(given.seen.read && bytes, `${size}: read`);
    assert.deepEqual(read, readSettings(bytes), `${size}: read as any INI`);
  }
});

test("a file that the browser cannot read gets words, not an error", async () => {
  for (const failure of [new DOMException("gone", "NotReadableError"), new TypeError("larger than 2 GB")]) {
    const { bytes, read } = await readIni(file(100, failure));
    assert.equal(bytes, null);
    assert.equal(read.ini, false);
    assert.match(read.notes[0].text, new RegExp(`could not read this file \\(${failure.name}\\)`));
  }
});
