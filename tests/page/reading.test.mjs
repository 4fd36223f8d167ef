// The page's INI reading against the plug-in's own: thousands of INI files from
// a seeded generator, in every form that players and editors write and some
// damaged as files on disks are, read by the module here and by the real
// plug-in's LoadSettings under Wine in one process.
// All ten values must be equal for every file; a file that differs is kept
// under the build folder and named with its seed. Each file is also given a
// random colour by the page's writing, and the plug-in reads the new file too.
// Environment: CRIMSEL_PAGE_REFERENCE (page_reference.exe), CRIMSEL_SEED (optional).
import assert from "node:assert/strict";
import { copyFileSync, mkdirSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { test } from "node:test";
import { putColour } from "../../page/iniwriting.js";
import { readByteText, readSettings, SETTINGS } from "../../page/reading.js";
import { reference, scratchFolder, windowsPath } from "./Reference.mjs";
import { SEED, seeded } from "./Seeded.mjs";

const FILES = 2000;


const SECTIONS = ["General", "BloodDecal", "Logging"];
const WORDS = ["true", "false", "yes", "no", "on", "off"];
// Blanks that editors leave around names and values: the profile reader trims
// some of them and the number conversion skips some.
const BLANKS = [" ", "\t", "  ", "\v", "\f", "\xa0", "\x1a"];
const WIDE_BLANKS = ["\u2003", "\u3000", "\u0085", "\u200b", "\u202f"];

// One file's text (code points below 0x100 unless its encoding can carry more)
// and its encoding.
/** @param {ReturnType<typeof seeded>} g */
function iniFile(g) {
  const { below, pick, chance } = g;
  const encoding = pick(["ansi", "ansi", "utf8", "utf8-mark", "utf16le-mark", "utf16be-mark", "utf16le", "utf16be"]);
  const wide = encoding !== "ansi";
  /** @param {string} name */
  const spell = (name) => {
    switch (below(6)) {
      case 0: return name.toLowerCase();
      case 1: return name.toUpperCase();
      case 2: return [...name].map((c) => (chance(50) ? c.toUpperCase() : c.toLowerCase())).join("");
      case 3: return chance(50) ? name.slice(0, -1) : `${name}s`;
      default: return name;
    }
  };
  const blank = () => (chance(70) ? "" : pick(wide && chance(30) ? WIDE_BLANKS : BLANKS));
  /** @param {number} n */
  const digits = (n) => Array.from({ length: n }, () => "0123456789"[below(10)]).join("");
  const number = () => {
    const sign = pick(["", "", "", "-", "+"]);
    switch (below(9)) {
      case 0: return `${sign}0${pick(["x", "X"])}${below(0x200).toString(16)}`;
      case 1: return `${sign}0${below(0o400).toString(8)}`;
      case 2: return `${sign}${"0".repeat(27 + below(8))}${below(300)}`;
      case 3: return `${sign}${digits(1 + below(12))}`;
      case 4: return `${sign}${below(256)}${pick(["abc", " # note", ".5", "e2", "x1", "\u00b2"])}`;
      case 5: return wide ? pick(["\uff11\uff12", "\u0661\u0662\u0663", "\u0967"]) : `${below(256)}`;
      case 6: return `${sign}0x${"0".repeat(26 + below(6))}${pick(["7F", "ff", "100"])}`;
      default: return `${sign}${below(300)}`;
    }
  };
  const value = () => {
    let v = chance(30) ? spell(pick(WORDS)) : chance(8) ? pick(["", "maybe", "-", "0x", "x10", " "]) : number();
    v = `${blank()}${v}${blank()}`;
    if (chance(12)) {
      const quote = pick(['"', "'"]);
      v = `${quote}${v}${chance(85) ? quote : ""}`;
    }
    return v;
  };
  /** @param {string} key */
  const keyLine = (key) => `${blank()}${chance(90) ? spell(key) : key.toLowerCase()}${blank()}=${blank()}${value()}`;
  const lines = [];
  const decorate = () => {
    while (chance(25)) {
      lines.push(pick(["", "; a comment", "# r\u00f6t", "junk without equals", "=5", "[", "]", "Unknown=1",
        `;${"x".repeat(below(80))}`, wide ? "; \u8840 \u0434\u0435\u043a\u0430\u043b\u044c" : "; caf\u00e9"]));
    }
  };
  if (chance(10)) lines.push(keyLine(pick(SETTINGS).key));
  const sections = [...SECTIONS, "Other"].sort(() => below(3) - 1);
  if (chance(20)) sections.push(pick(SECTIONS));
  for (const section of sections) {
    if (chance(8)) continue;
    decorate();
    const name = chance(85) ? section : spell(section);
    lines.push(`${blank()}[${chance(15) ? ` ${name} ` : name}]${chance(10) ? " ; note" : ""}`);
    const keys = SETTINGS.filter((s) => s.section === section || chance(4)).map((s) => s.key);
    for (const key of keys.sort(() => below(3) - 1)) {
      if (chance(15)) continue;
      decorate();
      lines.push(keyLine(key));
      if (chance(6)) lines.push(keyLine(key));
    }
  }
  decorate();
  const ends = pick([["\r\n"], ["\n"], ["\r"], ["\r\n", "\n", "\r"]]);
  let text = lines.map((line) => line + pick(ends)).join("");
  if (chance(10)) text = text.replace(/\r?\n?$/, "");
  return { text, encoding };
}

/** @param {ReturnType<typeof iniFile>} file */
function encode({ text, encoding }) {
  switch (encoding) {
    case "ansi": return Buffer.from(text, "latin1");
    case "utf8": return Buffer.from(text, "utf8");
    case "utf8-mark": return Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from(text, "utf8")]);
    case "utf16le-mark": return Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from(text, "utf16le")]);
    case "utf16be-mark": return Buffer.concat([Buffer.from([0xfe, 0xff]), Buffer.from(text, "utf16le").swap16()]);
    case "utf16le": return Buffer.from(text, "utf16le");
    default: return Buffer.from(text, "utf16le").swap16();
  }
}

// Now and then a file damaged as files on players' disks are: junk bytes alone,
// a NUL byte, sequences that are not UTF-8, a line longer than the profile
// reader's 32,767 characters.
/** @param {Buffer} bytes @param {ReturnType<typeof seeded>} g */
function damage(bytes, { below, chance }) {
  if (!chance(8)) return bytes;
  const at = below(bytes.length + 1);
  /** @param {string} more */
  const insert = (more) => Buffer.concat([bytes.subarray(0, at), Buffer.from(more, "latin1"), bytes.subarray(at)]);
  switch (below(4)) {
    case 0: return Buffer.from(Array.from({ length: below(2048) }, () => below(256)));
    case 1: return insert("\0");
    case 2: return insert("\xc3\r\n\xff\xfe\r\n\xe2\x80");
    default: return insert(`\r\n; ${"x".repeat(40000)}\r\n[BloodDecal]\r\nBlue=${"7".repeat(33000)}\r\n`);
  }
}

const folder = scratchFolder();
const g = seeded();
const files = Array.from({ length: FILES }, (_, i) =>
  ({ name: `seed-${SEED}-${i}.ini`, bytes: damage(encode(iniFile(g)), g) }));
// The colours come from a generator of their own, so that the files stay those of the seed.
const colours = seeded(1);
const written = files.map((file) => {
  const colour = Object.fromEntries(["Red", "Green", "Blue", "Alpha"].map((name) => [name, colours.below(256)]));
  const made = putColour(new Uint8Array(file.bytes), /** @type {import("../../page/colour.js").Colour} */ (colour));
  return { name: `coloured-${file.name}`, colour, bytes: made.bytes && Buffer.from(made.bytes) };
});
const changed = written.filter((file) => file.bytes !== null);

/** @type {Record<string, number>[]} */
let plugin = [];
test("every generated INI file gives the ten values that the plug-in's LoadSettings reads", () => {
  const list = join(folder, "files.txt");
  for (const file of [...files, ...changed]) writeFileSync(join(folder, file.name), file.bytes ?? "");
  writeFileSync(list, [...files, ...changed].map((file) => windowsPath(join(folder, file.name))).join("\r\n"));
  plugin = reference("settings", `@${windowsPath(list)}`);
  assert.equal(plugin.length, files.length + changed.length, "the plug-in read every file");
  const kept = join(dirname(process.env.CRIMSEL_PAGE_REFERENCE ?? ""), "kept");
  const differences = [];
  for (const [i, file] of files.entries()) {
    const page = readSettings(new Uint8Array(file.bytes)).settings;
    const apart = page.filter((s) => s.value !== plugin[i][s.key]).map((s) => `${s.key} ${s.value}/${plugin[i][s.key]}`);
    if (apart.length > 0) {
      mkdirSync(kept, { recursive: true });
      copyFileSync(join(folder, file.name), join(kept, file.name));
      differences.push(`${join(kept, file.name)} (page/plug-in): ${apart.join(", ")}`);
    }
  }
  assert.deepEqual(differences.slice(0, 20), [], `${differences.length} of ${files.length} files differ`);
});

// A file's lines in its code units, each with its line end, after its byte-order mark.
/** @param {Buffer} bytes */
function linesOf(bytes) {
  const wide = bytes.length >= 2 && (bytes[0] === 0xff ? bytes[1] === 0xfe : bytes[0] === 0xfe && bytes[1] === 0xff);
  const mark = wide ? 2 : bytes.subarray(0, 3).equals(Buffer.from([0xef, 0xbb, 0xbf])) ? 3 : 0;
  const units = wide ? Buffer.from(bytes.subarray(2, bytes.length - (bytes.length % 2))) : bytes.subarray(mark);
  if (wide && bytes[0] === 0xfe) units.swap16();
  const text = wide ? units.toString("utf16le") : units.toString("latin1");
  return { mark: bytes.subarray(0, mark), lines: text.match(/[^\r\n]*(\r\n|\n|\r|$)/g)?.filter((l) => l !== "") ?? [] };
}

const OURS = ["PatchBloodDecalColorAndAlpha", "Red", "Green", "Blue", "Alpha"];
// A line of ours that the page may add: a blank, a section header or a key with its number.
/** @param {string} line */
const addable = (line) => /^(\[(General|BloodDecal)\]|(PatchBloodDecalColorAndAlpha|Red|Green|Blue|Alpha)=\d+)?(\r\n|\n|\r)?$/
  .test(line);
// Text without the blanks that the profile reader trims, line ends among them.
/** @param {string} text */
const trimmed = (text) => {
  const blank = (/** @type {string} */ c) => c === " " || c === "\x1a" || (c >= "\t" && c <= "\r");
  let [from, to] = [0, text.length];
  while (from < to && blank(text[from])) from++;
  while (to > from && blank(text[to - 1])) to--;
  return text.slice(from, to);
};
// The key of a line that the page may change, by the name before its "=" (up to a NUL).
/** @param {string} line */
const keyName = (line) => OURS.find((key) => key.toLowerCase() === trimmed(line.split("=")[0].split("\0")[0])
  .toLowerCase());

test("the page puts a colour where the plug-in reads it, and changes no other line", () => {
  assert.equal(plugin.length, files.length + changed.length, "the plug-in read every file");
  assert.ok(changed.length > FILES * 0.6, `${changed.length} files changed`);
  const problems = [];
  let k = files.length;
  for (const [i, file] of files.entries()) {
    const wanted = written[i];
    const { ini, notes } = readSettings(new Uint8Array(file.bytes));
    const lines = notes.filter((note) => !note.text.startsWith("And ")).map((note) => note.line);
    if (lines.some((line, n) => line < lines[n - 1])) problems.push(`${file.name}: notes on lines ${lines}`);
    const oddWide = linesOf(file.bytes).mark.length === 2 && file.bytes.length % 2 === 1;
    if (wanted.bytes === null) {
      if (ini && !oddWide) problems.push(`${file.name}: an INI left unchanged`);
      continue;
    }
    if (!ini || oddWide) problems.push(`${file.name}: changed, though no INI the page can change`);
    const read = plugin[k++];
    /** @type {Record<string, number>} */
    const expected = { ...plugin[i], ...wanted.colour, PatchBloodDecalColorAndAlpha: 1 };
    const apart = SETTINGS.filter((s) => read[s.key] !== expected[s.key]).map((s) => `${s.key} ${read[s.key]}`);
    if (apart.length > 0) problems.push(`${file.name}: the plug-in reads ${apart.join(", ")}`);
    const before = linesOf(file.bytes);
    const after = linesOf(wanted.bytes);
    if (!before.mark.equals(after.mark)) problems.push(`${file.name}: its byte-order mark changed`);
    // Each line as it was, but for one of ours changed in place and lines of ours added; the last may get a line end.
    const touched = [];
    let j = 0;
    for (const [n, line] of before.lines.entries()) {
      while (j < after.lines.length && after.lines[j] !== line && addable(after.lines[j]) &&
        !(keyName(line) && keyName(line) === keyName(after.lines[j]))) touched.push(after.lines[j++]);
      const last = n === before.lines.length - 1 && !/[\r\n]$/.test(line);
      if (after.lines[j] === line || (last && after.lines[j]?.replace(/(\r\n|\n|\r)$/, "") === line)) {
        j++;
      } else if (keyName(line) && keyName(line) === keyName(after.lines[j] ?? "") &&
        after.lines[j].startsWith(line.slice(0, line.indexOf("=") + 1)) &&
        /^\d+$/.test(trimmed(after.lines[j].slice(after.lines[j].indexOf("=") + 1))) &&
        (last || after.lines[j].slice(-2).replace(/[^\r\n]/g, "") === line.slice(-2).replace(/[^\r\n]/g, ""))) {
        touched.push(after.lines[j++]);
      } else {
        problems.push(`${file.name}: line ${n + 1} ${JSON.stringify(line)} became ${JSON.stringify(after.lines[j])}`);
        break;
      }
    }
    touched.push(...after.lines.slice(j));
    const keys = touched.map(keyName).filter((key) => key);
    if (!touched.every((line) => addable(line) || keyName(line)) || new Set(keys).size !== keys.length) {
      problems.push(`${file.name}: lines changed or added ${JSON.stringify(touched)}`);
    }
  }
  assert.deepEqual(problems.slice(0, 10), [], `${problems.length} problems`);
});

test("a link's value is read by the same rules, cut where the plug-in's buffer ends", () => {
  /** @type {Array<[string, number]>} */
  const cases = [["0X80", 128], ["+7", 7], ["-5", 0], ["300", 255], ["010", 8], ["1e2", 1], ["abc", 224],
    [`${"0".repeat(29)}17`, 15], [` ${"0".repeat(29)}17`, 1], ["\uff19\uff18", 98]];
  for (const [text, expected] of cases) assert.equal(readByteText(text, 224), expected, text);
});

// The size past which the plug-in leaves the file as it is (kMaxIniFileSize): page_reference reads the same
// values either side of it, so the note is what tells.
test("an INI of 1 MiB is said to be completed, one a byte larger to be left as it is", () => {
  const head = Buffer.from("[General]\r\nPatchBloodDecalColorAndAlpha=1\r\n");
  for (const size of [2 ** 20 - 1, 2 ** 20, 2 ** 20 + 1]) {
    const { notes } = readSettings(Buffer.concat([head, Buffer.alloc(size - head.length, "; padding\r\n")]));
    assert.equal(notes.some((note) => note.text.includes("larger than 1048576 bytes")), size > 2 ** 20, `${size} bytes`);
  }
});
