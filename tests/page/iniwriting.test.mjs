// The page's writing of the colour into a player's INI, held to properties over
// INI files from a seeded generator in every encoding and line end that the
// page writes: writing is idempotent, each note names the line it speaks of, a
// section added at the end gets one blank line before it, and the new file
// reads as the colour with every old line kept in order. (reading.test.mjs
// holds the files that the page writes against the real plug-in's LoadSettings.)
// Environment: CRIMSEL_SEED (optional).
import assert from "node:assert/strict";
import { test } from "node:test";
import { putColour } from "../../page/iniwriting.js";
import { readSettings } from "../../page/reading.js";
import { seeded } from "./Seeded.mjs";

const FILES = 1500;
const OURS = ["PatchBloodDecalColorAndAlpha", "Red", "Green", "Blue", "Alpha"];
const ENCODINGS = ["ansi", "utf8-mark", "utf16le-mark", "utf16be-mark"];
const ENDS = { CRLF: ["\r\n"], LF: ["\n"], CR: ["\r"], mixed: ["\r\n", "\n", "\r"] };
const TAILS = ["ended", "unended", "blank", "blanks", "spaces", "unended spaces"];


// An INI as players and editors leave it: sections in any case and order, some twice; our keys missing, twice,
// in the wrong section or before any, with blanks around "=", empty values, no "=", and, in a file that
// "holds", the chosen values where the plug-in reads them.
/** @param {ReturnType<typeof seeded>} g @param {Record<string, string>} chosen */
function iniFile({ below, pick, chance, shuffle }, chosen) {
  const encoding = pick(ENCODINGS);
  const endName = /** @type {keyof typeof ENDS} */ (pick(Object.keys(ENDS)));
  const tail = pick(TAILS);
  const holds = chance(15);
  /** @param {string} name */
  const spell = (name) => pick([name, name.toLowerCase(), name.toUpperCase(),
    [...name].map((c) => (chance(50) ? c.toUpperCase() : c)).join("")]);
  const blank = () => pick(["", "", "", " ", "\t", "  "]);
  /** @param {string} key */
  const home = (key) => (key === OURS[0] ? "General" : "BloodDecal");
  /** @param {string} key @param {boolean} read */
  const keyLine = (key, read) => {
    const value = (read && holds) || chance(25) ? chosen[key] : pick(["", "0", "7", "255", "0x1F", "yes", '"9"']);
    return !read && chance(8) ? spell(key) : `${blank()}${spell(key)}${blank()}=${blank()}${value}${blank()}`;
  };
  const other = ["; a comment", "# r\u00f6t", "Unknown=1", "", " \t", encoding === "ansi" ? "; caf\u00e9 \u00ff" :
    "; \u8840 \u0434\u0435\u043a\u0430\u043b\u044c"];
  /** @type {string[]} */
  const lines = [];
  const decorate = () => { while (chance(30)) lines.push(pick(other)); };
  if (chance(10)) lines.push(keyLine(pick(OURS), false));
  const sections = shuffle(["General", "BloodDecal", "Logging", "Other"]);
  if (chance(20)) sections.push(pick(sections));
  for (const [i, section] of sections.entries()) {
    if (chance(20) && !(holds && OURS.some((key) => home(key) === section))) continue;
    const first = sections.indexOf(section) === i;
    decorate();
    lines.push(`${blank()}[${chance(15) ? ` ${spell(section)} ` : spell(section)}]`);
    const keys = OURS.filter((key) => home(key) === section || chance(5));
    for (const key of shuffle(keys)) {
      const read = first && home(key) === section;
      if (!(read && holds) && chance(20)) continue;
      decorate();
      lines.push(keyLine(key, read));
      if (chance(6)) lines.push(keyLine(key, false));
    }
  }
  decorate();
  const ends = ENDS[endName];
  let text = lines.map((line) => line + pick(ends)).join("");
  if (tail === "blank") text += pick(ends);
  if (tail === "blanks") text += Array.from({ length: 2 + below(2) }, () => pick(ends)).join("");
  if (tail.endsWith("spaces")) text += pick([" ", "\t", " \t "]) + pick(ends);
  if (tail.startsWith("unended")) text = text.replace(/(\r\n|\n|\r)$/, "");
  return { text, encoding, endName, tail, holds };
}

/** @param {string} text @param {string} encoding */
function encode(text, encoding) {
  switch (encoding) {
    case "ansi": return Buffer.from(text, "latin1");
    case "utf8-mark": return Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from(text, "utf8")]);
    case "utf16le-mark": return Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from(text, "utf16le")]);
    default: return Buffer.concat([Buffer.from([0xfe, 0xff]), Buffer.from(text, "utf16le").swap16()]);
  }
}

/** @param {Uint8Array} bytes a file's lines as [text, line end], decoded by its byte-order mark, and the mark */
function linesOf(bytes) {
  const [mark, label] = bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf ? [3, "utf-8"]
    : bytes[0] === 0xff && bytes[1] === 0xfe ? [2, "utf-16le"] : bytes[0] === 0xfe && bytes[1] === 0xff
      ? [2, "utf-16be"] : [0, "windows-1252"];
  const text = new TextDecoder(label, { ignoreBOM: true }).decode(bytes.subarray(mark));
  const lines = [...text.matchAll(/([^\r\n]*)(\r\n|\n|\r|$)/g)].filter((m) => m[0] !== "").map((m) => [m[1], m[2]]);
  return { mark: Buffer.from(bytes.subarray(0, mark)).toString("hex"), lines };
}

// As the profile reader trims: ASCII's blanks and Ctrl-Z.
/** @param {string} text */
const trimmed = (text) => {
  let [from, to] = [0, text.length];
  while (from < to && " \t\n\v\f\r\x1a".includes(text[from])) from++;
  while (to > from && " \t\n\v\f\r\x1a".includes(text[to - 1])) to--;
  return text.slice(from, to);
};
/** @param {string} line */
const nameOf = (line) => trimmed(line.split("=")[0].split("\0")[0]).toLowerCase();
/** @param {string} line */
const valueOf = (line) => (line.includes("=") ? trimmed(line.slice(line.indexOf("=") + 1)) : null);

const g = seeded(2);
const colours = seeded(3);
const cases = Array.from({ length: FILES }, () => {
  const colour = { Red: colours.below(256), Green: colours.below(256), Blue: colours.below(256),
    Alpha: colours.below(256) };
  /** @type {Record<string, string>} */
  const chosen = Object.fromEntries(Object.entries({ PatchBloodDecalColorAndAlpha: 1, ...colour })
    .map(([key, value]) => [key, String(value)]));
  const file = iniFile(g, chosen);
  const bytes = new Uint8Array(encode(file.text, file.encoding));
  return { ...file, colour, chosen, bytes, made: putColour(bytes, colour) };
});
const written = cases.flatMap((c) => (c.made.bytes ? [{ ...c, after: c.made.bytes }] : []));

test("writing twice gives the bytes of writing once, and a file that holds the colour is left as it is", () => {
  assert.ok(written.length > FILES * 0.9, `${written.length} of ${FILES} files written`);
  assert.ok(cases.filter((c) => c.holds).length > FILES / 10, "files that hold the colour");
  for (const { bytes, colour, chosen, holds, made, after } of written) {
    const again = putColour(after, colour);
    assert.deepEqual(again.bytes, after, `written again: ${JSON.stringify(linesOf(after).lines)}`);
    assert.match(again.notes[0].text, /already holds/);
    assert.deepEqual(again.notes.filter((n) => !/is left as it was/.test(n.text)).length, 1);
    if (holds) assert.deepEqual(after, bytes);
    assert.equal(made.notes[0].text === again.notes[0].text, Buffer.compare(after, bytes) === 0, made.notes[0].text);
    const before = readSettings(bytes).settings;
    const said = made.notes.map((n) => /^Line \d+: (\w+) (?:now has the value|changed from)/.exec(n.text)?.[1]);
    for (const key of OURS) {
      const entry = before.find((s) => s.key === key)?.entry;
      assert.equal(said.includes(key), Boolean(entry && entry.value !== chosen[key]), `${key} said changed`);
    }
  }
});

// The keys that a note says were added, and the section it says was added with them.
/** @param {string} text */
function added(text) {
  const m = new RegExp("^Line \\d+: (?:(.*) added under \\[.*\\], where " +
    "|a section \\[(.*)\\] added at the end of the file, with (.*)\\.$)", "s").exec(text);
  return m && { keys: (m[1] ?? m[3]).split(", "), section: m[2] };
}

test("every note names the line of the new file that holds what it speaks of", () => {
  for (const { made, after } of written) {
    const lines = linesOf(after).lines.map(([text]) => text);
    const reads = new Map(readSettings(after).settings.map((s) => [s.key, s.entry?.line]));
    const order = made.notes.map((n) => n.line);
    assert.deepEqual(order, [...order].sort((a, b) => a - b), "notes in line order");
    for (const { line, text } of made.notes.filter((n) => n.line > 0)) {
      const where = `line ${line} of ${JSON.stringify(lines)}: ${text}`;
      assert.ok(text.startsWith(`Line ${line}: `), where);
      const [, said] = text.split(/^Line \d+: /);
      const changed = /^(\w+) (?:now has the value|changed from (.*) to) (\d+)\.$/s.exec(said);
      const alone = /^(.*) is left as it was: /s.exec(said);
      const adding = added(text);
      if (changed) {
        assert.notEqual(changed[2] ?? "", changed[3], where);
        assert.deepEqual([nameOf(lines[line - 1]), valueOf(lines[line - 1]), reads.get(changed[1])],
          [changed[1].toLowerCase(), changed[3], line], where);
      } else if (alone) {
        assert.equal(lines[line - 1].trim(), alone[1], where);
      } else if (adding) {
        const { keys, section } = adding;
        const first = section ? line + 1 : line;
        if (section) assert.equal(lines[line - 1], `[${section}]`, where);
        assert.deepEqual(lines.slice(first - 1, first - 1 + keys.length), keys, where);
        assert.deepEqual(keys.map((k) => reads.get(k.split("=")[0])), keys.map((_, i) => first + i), where);
      } else {
        assert.fail(`a note of no known kind: ${where}`);
      }
    }
  }
});

/** @param {string[][]} lines @returns {number} how many blank lines end them */
const blanksAtEnd = (lines) => lines.length - 1 - lines.findLastIndex(([text]) => trimmed(text) !== "");

test("a section added at the end gets one blank line before it, however the file ends", () => {
  const seen = new Set();
  for (const { bytes, made, after, tail } of written) {
    const section = made.notes.map((n) => added(n.text)?.section).find((name) => name);
    if (!section) continue;
    seen.add(tail);
    const before = linesOf(bytes).lines;
    const lines = linesOf(after).lines;
    lines.length = lines.findIndex(([text]) => text === `[${section}]`);
    assert.equal(blanksAtEnd(lines), Math.max(1, blanksAtEnd(before)),
      `${JSON.stringify(before)} became ${JSON.stringify(linesOf(after).lines)}`);
  }
  assert.deepEqual([...seen].sort(), [...TAILS].sort(), "every way of ending a file met");
  const colour = cases[0].colour;
  for (const encoding of ENCODINGS) {
    const made = putColour(new Uint8Array(encode("", encoding)), colour);
    assert.deepEqual([made.bytes, made.notes.length], [null, 1], `an ${encoding} file with no lines`);
    assert.match(made.notes[0].text, /^Your file was not changed\./);
  }
});

/** @param {string[]} line its text and its end */
const addable = ([text, end]) => /^(\[(General|BloodDecal)\]|(PatchBloodDecalColorAndAlpha|Red|Green|Blue|Alpha)=\d+)?$/
  .test(text) && end !== "";

// Where the new file's lines are the old ones in order, each as it was or our key's line with only its value
// changed, with lines of ours between them: null, else what differs.
/** @param {string[][]} before @param {string[][]} after @param {Map<number, string>} values */
function keptInOrder(before, after, values) {
  const kept = (/** @type {number} */ n, /** @type {string[]} */ [text, end]) => {
    const [oldText, oldEnd] = before[n];
    if (end !== oldEnd && !(n === before.length - 1 && oldEnd === "")) return false;
    const value = values.get(n + 1);
    if (value === undefined || text === oldText) return text === oldText;
    const name = oldText.includes("=") ? oldText.split("=")[0] : trimmed(`.${oldText}`).slice(1);
    return text.split("=")[0] === name && valueOf(text) === value;
  };
  let j = 0;
  for (let n = 0; n < before.length; n++, j++) {
    for (; j < after.length && !kept(n, after[j]); j++) if (!addable(after[j])) return `new line ${j + 1}`;
    if (j === after.length) return `line ${n + 1} lost`;
  }
  const added = after.slice(j).find((line) => !addable(line));
  return added ? `line ${JSON.stringify(added)} added` : null;
}

/** @param {string[][]} lines how many of them are keys of ours */
const oursIn = (lines) => lines.filter(([text]) => OURS.some((key) => key.toLowerCase() === nameOf(text))).length;

test("the new file reads as the colour with the patch on, in the old file's encoding, every old line kept", () => {
  const seen = new Set();
  for (const { bytes, after, made, chosen, encoding, endName } of written) {
    seen.add(`${encoding} ${endName}`);
    const before = linesOf(bytes);
    const now = linesOf(after);
    const read = readSettings(bytes).settings;
    const ours = read.filter((s) => OURS.includes(s.key));
    const values = new Map(ours.flatMap((s) => (s.entry ? [[s.entry.line, chosen[s.key]]] : [])));
    const where = `${JSON.stringify(before.lines)} became ${JSON.stringify(now.lines)}`;
    assert.equal(now.mark, before.mark, where);
    assert.equal(keptInOrder(before.lines, now.lines, values), null, where);
    const ends = new Set(before.lines.map(([, end]) => end).filter((end) => end !== ""));
    assert.ok(now.lines.every(([, end]) => end === "" || ends.has(end) || (ends.size === 0 && end === "\r\n")), where);
    const listed = made.notes.flatMap((note) => added(note.text)?.keys ?? []);
    assert.equal(oursIn(now.lines) - oursIn(before.lines), listed.length, where);
    const settings = readSettings(after).settings;
    const expected = read.map((s) => (ours.includes(s) ? Number(chosen[s.key]) : s.value));
    assert.deepEqual(settings.map((s) => s.value), expected, where);
  }
  assert.equal(seen.size, ENCODINGS.length * Object.keys(ENDS).length, "every encoding with every line end written");
});
