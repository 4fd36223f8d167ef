// The player's INI given to the page through its file input or dropped onto
// it: the switch and the colour values that the page takes equal what the real
// plug-in's LoadSettings reads from a copy of the same file under Wine in this
// run, and the page names what a player got wrong; the file that the page makes
// with a colour, downloaded or saved over the one chosen, gives the plug-in that
// colour and differs only in the lines of it.
import assert from "node:assert/strict";
import { join } from "node:path";
import { readFileSync } from "node:fs";
import { before, test } from "node:test";
import {
  CHANNELS, channelValues, downloaded, giveIni, reference, scratchFolder, browserSession, setChannel, windowsPath,
  writeFiles,
} from "./PageDriver.mjs";

/** @param {string} text */
const ansi = (text) => Buffer.from(text, "latin1");
/** @param {string} text @param {boolean} [bigEndian] */
const utf16 = (text, bigEndian) => {
  const bytes = Buffer.from(text, "utf16le");
  return bigEndian ? bytes.swap16() : bytes;
};
/** @param {string} text @param {Record<string, number>} values */
const withValues = (text, values) =>
  Object.entries(values).reduce((out, [key, value]) => out.replace(new RegExp(`^${key}=.*$`, "m"), `${key}=${value}`),
    text);

const MARKUP = '<img src="x" onerror="document.title=\'ran\'">';

// Files a player gives the page (chosen, or dropped onto it), with what the
// page must say of each.
/** @param {string} template */
const cases = (template) => [
  { name: "template", bytes: ansi(template), notes: ["PatchBloodDecalColorAndAlpha is off"], absent: ["Not found"] },
  {
    name: "colour on",
    bytes: ansi(withValues(template, { PatchBloodDecalColorAndAlpha: 1, Red: 200, Green: 10, Blue: 40 })),
    notes: ["PatchBloodDecalColorAndAlpha is on"], absent: ["Not found", "reads no"], dropped: true,
  },
  {
    name: "number forms",
    bytes: ansi("[General]\r\nPatchBloodDecalColorAndAlpha=yes\r\n[BloodDecal]\r\nRed=0x80\r\nGreen=010\r\n" +
      "Blue=08\r\nAlpha=300\r\n"),
    query: "?Red=0x80&Green=010&blue=08&Alpha=300&Red=5",
    notes: ["Red=0x80 reads as 128", "Alpha=300 lies outside 0 to 255", "Not found, so their defaults apply: " +
      "FixExecutionBloodDecals"],
  },
  {
    name: "case blanks and quotes",
    bytes: ansi("[general]\r\n  patchblooddecalcolorandalpha = ON\r\n[ BloodDecal ]\r\nred = -20 \r\n" +
      "GREEN=\" 77 \"\r\nBlue='12'\r\nAlpha=abc\r\n[BLOODDECAL]\r\nRed=1\r\n"),
    notes: ["Alpha=abc is not a number", "[BLOODDECAL] stands a second time", "Red=-20 lies outside"],
  },
  {
    name: "misplaced and misspelt",
    bytes: ansi("Alpha=9\r\n[General]\r\nRed=10\r\nPatchBloodDecalColourAndAlpha=1\r\n[BloodDecal]\r\nGren=5\r\n" +
      "[Bloodecal]\r\nBlue=7\r\n"),
    notes: ["Red stands under [General]; the plug-in reads it only under [BloodDecal]",
      "did you mean PatchBloodDecalColorAndAlpha?", "did you mean Green?", "did you mean [BloodDecal]?",
      "Alpha stands at the top of the file", "PatchBloodDecalColorAndAlpha is off"],
  },
  {
    name: "twice",
    bytes: ansi("[BloodDecal]\r\nRed=1\r\nRed=2\r\nGreen\r\nGreen=6\r\n[General]\r\n" +
      "PatchBloodDecalColorAndAlpha=1\r\n[BloodDecal]\r\nBlue=3\r\n"),
    notes: ["Red stands a second time; the plug-in takes the first, on line 2", "Green has no \"=\"",
      "Blue stands in a second [BloodDecal]"],
  },
  {
    name: "long values",
    bytes: ansi(`[General]\r\nPatchBloodDecalColorAndAlpha=${"0".repeat(31)}1\r\n[BloodDecal]\r\n` +
      `Red=${"0".repeat(29)}17\r\nGreen="${"0".repeat(28)}33"\r\nBlue="${"0".repeat(29)}44"\r\n` +
      `Alpha=${" ".repeat(3)}0x${"0".repeat(28)}7F\r\n`),
  },
  {
    name: "utf-8 with its mark",
    bytes: Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from("; r\u00f6t\r\n[General]\r\n" +
      "PatchBloodDecalColorAndAlpha=1\r\n[BloodDecal]\r\nRed=\uff19\uff18\r\nGreen=\u00a0 66\r\n" +
      "Blue=\uff10x1F\r\n", "utf8")]),
    notes: ["Read as UTF-8 text with its byte-order mark"],
  },
  {
    name: "utf-16 le with its mark",
    bytes: Buffer.concat([Buffer.from([0xff, 0xfe]), utf16("[General]\r\nPatchBloodDecalColorAndAlpha=1\r\n" +
      "[BloodDecal]\r\nRed=11\r\nAlpha=22\r\n")]),
    notes: ["Read as UTF-16 LE text with its byte-order mark"],
  },
  {
    name: "utf-16 be with its mark",
    bytes: Buffer.concat([Buffer.from([0xfe, 0xff]), utf16("[General]\r\nPatchBloodDecalColorAndAlpha=on\r\n" +
      "[BloodDecal]\r\nBlue=33\r\n", true)]),
    notes: ["Read as UTF-16 BE text with its byte-order mark"],
  },
  {
    name: "utf-16 without its mark",
    bytes: utf16("[General]\r\nPatchBloodDecalColorAndAlpha=1\r\n[BloodDecal]\r\nRed=12\r\n"),
    notes: ["without its byte-order mark", "Save the file as ANSI or UTF-8"], alone: true,
  },
  {
    name: "not an ini",
    bytes: Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 0x0d, 0x49, 0x48, 0x44, 0x52, 0xff]),
    notes: ["This is not a text file"], alone: true,
  },
  { name: "no section, no key", bytes: ansi("just some words\r\n"), notes: ["does not look like an INI file"], alone: true },
  { name: "empty", bytes: Buffer.alloc(0), notes: ["The file is empty", "fills the file in"], alone: true },
  {
    name: "a log",
    bytes: ansi("[2026-12-08 06:48:59.910] Logger initialized\r\n[2026-12-08 06:48:59.911] InitializeASI\r\n"),
    notes: ["This is a Crimsel.log", "give it to \"Your log\""], alone: true,
  },
  {
    name: "over 1 MiB",
    bytes: ansi(`${withValues(template, { PatchBloodDecalColorAndAlpha: 1, Red: 9 })}${"; padding\r\n".repeat(100000)}`),
    notes: ["larger than 1048576 bytes"],
  },
  {
    name: "markup",
    bytes: ansi(`[General]\r\nPatchBloodDecalColorAndAlpha=1\r\n<script>document.title++</script>=1\r\n` +
      `[BloodDecal]\r\nRed=${MARKUP}\r\n[${MARKUP}]\r\n`),
    notes: [`Red=${MARKUP} is not a number`, `reads no key "<script>document.title++</script>"`],
  },
  {
    name: "blanks, control characters and NUL",
    bytes: ansi("[General]\rPatchBloodDecalColorAndAlpha\t=\t1\x1a\n\r[BloodDecal]\nRed=\xa0\xa0 42\r\nGreen=5\0" +
      "9\r\nBl\0ue=7\r\nBlue\0 hidden=21\r\nAlpha=\x1a 66\r\n"),
    notes: ["holds zero bytes"],
  },
];

// The files, and what the plug-in read from each.
/** @type {Array<ReturnType<typeof cases>[number] & { file: string }>} */
let ALL = [];
/** @type {string[]} */
let paths = [];
/** @type {Record<string, number>[]} */
let read = [];
let template = "";
before(() => {
  const folder = scratchFolder();
  reference("template", windowsPath(join(folder, "template.ini")));
  template = readFileSync(join(folder, "template.ini"), "latin1");
  ALL = cases(template)
    .map((c, i) => ({ ...c, file: `case-${String(i).padStart(2, "0")}.ini` }));
  paths = writeFiles(folder, ALL.map((c) => ({ name: c.file, bytes: c.bytes })));
  read = reference("settings", ...paths.map(windowsPath));
});

const downloads = scratchFolder();
const session = browserSession(downloads);

test("the page takes from every file what the plug-in's LoadSettings reads, and says what is wrong", async () => {
  assert.equal(read.length, ALL.length, "the plug-in read every file");
  const page = await session.open();
  let colour = await channelValues(page);
  for (const [i, c] of ALL.entries()) {
    const shown = await giveIni(page, paths[i], c.file, c.dropped);
    const plugin = read[i];
    const taken = Object.fromEntries(Object.entries(shown.taken).map(([key, text]) => [key, parseInt(text, 10)]));
    for (const key of Object.keys(taken)) {
      assert.equal(taken[key], plugin[key], `${c.name}: ${key} (page ${shown.taken[key]})`);
    }
    // A file that is not an INI gets one note alone and leaves the colour as it was.
    if (!c.alone) colour = Object.fromEntries(CHANNELS.map((name) => [name, plugin[name]]));
    assert.deepEqual(await channelValues(page), colour, `${c.name}: the colour controls`);
    if (c.alone) assert.equal(shown.notes.length, 1, `${c.name}: ${shown.notes}`);
    for (const expected of c.notes || []) {
      assert.ok(shown.notes.some((note) => note.includes(expected)), `${c.name}: "${expected}" in ${shown.notes}`);
    }
    const lines = shown.notes.map((note) => Number(/^Line (\d+):/.exec(note ?? "")?.[1])).filter((line) => line);
    assert.deepEqual(lines, [...lines].sort((a, b) => a - b), `${c.name}: the notes in the order of the lines`);
    for (const unexpected of c.absent || []) {
      assert.ok(!shown.notes.some((note) => note.includes(unexpected)), `${c.name}: no "${unexpected}"`);
    }
  }
  assert.equal(await page.title(), "Vorlaine.Crimsel: blood decal colour and settings", "no script from a file ran");
  assert.equal(await page.$$eval("#ini-report img, #ini-report script", (found) => found.length), 0);
});

test("a link's query is read by the INI's rules", async () => {
  for (const [i, c] of ALL.entries()) {
    if (!c.query) continue;
    const page = await session.open(c.query);
    assert.deepEqual(await channelValues(page), Object.fromEntries(CHANNELS.map((name) => [name, read[i][name]])),
      `${c.name}: ${c.query}`);
  }
});

/** @param {import("puppeteer-core").Page} page @param {number[]} colour */
async function choose(page, colour) {
  for (const [i, name] of CHANNELS.entries()) await setChannel(page, name, colour[i]);
}
/** @param {import("puppeteer-core").Page} page */
const changes = (page) => page.$$eval("#ini-changes li, #ini-saved", (items) => items.map((item) => item.textContent));
/** @param {string} name @param {Buffer} bytes */
const pluginReads = (name, bytes) => {
  const [path] = writeFiles(scratchFolder(), [{ name, bytes }]);
  return reference("settings", windowsPath(path))[0];
};
/** @param {number[]} colour */
const settingsOf = ([Red, Green, Blue, Alpha]) => ({ PatchBloodDecalColorAndAlpha: 1, Red, Green, Blue, Alpha });

// A file of UTF-16 BE whose [BloodDecal] lacks three keys and holds a second
// Red, and which lacks a [General] section and a last line end.
const GIVEN = "[BloodDecal]\r\n red = 7 ; old\r\nRed=2\r\n\r\n[Logging]\r\nEnableLogging=1";
/** @param {number[]} colour */
const givenMade = ([r, g, b, a]) => `[BloodDecal]\r\n red = ${r}\r\nRed=2\r\nGreen=${g}\r\nBlue=${b}\r\n` +
  `Alpha=${a}\r\n\r\n[Logging]\r\nEnableLogging=1\r\n\r\n[General]\r\nPatchBloodDecalColorAndAlpha=1\r\n`;
const withMark = (/** @type {string} */ text) => Buffer.concat([Buffer.from([0xfe, 0xff]), utf16(text, true)]);

test("the page puts the colour into the file given, and with none offers the first start's INI", async () => {
  const page = await session.open();
  assert.deepEqual(await page.$$eval("#ini-put-part, #ini-new-part", (parts) => parts.map((part) =>
    (/** @type {HTMLElement} */ (part)).hidden)), [true, false], "with no file, only the new file is offered");
  const colour = [60, 180, 255, 128];
  await choose(page, colour);
  await page.click("#ini-new");
  const fresh = await downloaded(downloads, "Vorlaine.Crimsel.ini");
  assert.equal(fresh.toString("latin1"), withValues(template, settingsOf(colour)), "the first start's INI, coloured");
  assert.match((await changes(page)).join(" "), /downloads folder: move it beside Vorlaine.Crimsel.asi/);

  const folder = scratchFolder();
  const [path] = writeFiles(folder, [{ name: "given.ini", bytes: withMark(GIVEN) }]);
  await giveIni(page, path, "given.ini");
  const chosen = [200, 10, 40, 255];
  await choose(page, chosen);
  await page.click("#ini-put");
  const made = await downloaded(downloads, "given.ini");
  assert.deepEqual(made, withMark(givenMade(chosen)), "the lines of the colour alone changed or added");
  assert.deepEqual(pluginReads("made.ini", made), { file: 0, ...pluginReads("given.ini", withMark(GIVEN)),
    ...settingsOf(chosen) }, "the plug-in reads the colour, and every other value as before");
  const said = await changes(page);
  assert.ok(said.some((text) => text?.startsWith("Line 3: Red=2 is left as it was")), `${said}`);

  const [empty] = writeFiles(folder, [{ name: "empty.ini", bytes: Buffer.alloc(0) }]);
  await giveIni(page, empty, "empty.ini");
  await page.click("#ini-put");
  assert.match((await changes(page)).join(" "), /Your file was not changed\. The file is empty/);
  assert.equal(await page.$eval("#ini-new-part", (part) => (/** @type {HTMLElement} */ (part)).hidden), false, "a new file offered instead");
});

// Chromium's file picker gives a handle that the page saves over; a headless
// run cannot answer the picker, so the page is handed a handle of the test's.
test("where the browser lets it, the page saves over the file chosen", { skip: process.env.CRIMSEL_BROWSER === "firefox" },
  async () => {
    const page = await session.open();
    await page.evaluate((/** @type {string} */ base64) => {
      const saved = /** @type {number[][]} */ ([[...Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))]]);
      const handle = { getFile: async () => new File([new Uint8Array(saved[saved.length - 1])], "Vorlaine.Crimsel.ini"),
        createWritable: async () => ({ write: async (/** @type {Uint8Array} */ data) => saved.push([...data]),
          close: async () => {} }) };
      Object.assign(window, { showOpenFilePicker: async () => [handle], saved });
    }, withMark(GIVEN).toString("base64"));
    await page.click("#ini-file");
    await page.waitForFunction(() => document.getElementById("ini-name")?.textContent === "Vorlaine.Crimsel.ini");
    await choose(page, [96, 8, 12, 255]);
    await page.click("#ini-put");
    await page.waitForFunction(() => document.getElementById("ini-saved")?.textContent?.startsWith("Saved into"));
    const saved = await page.evaluate(() => /** @type {number[][]} */ ((/** @type {any} */ (window)).saved));
    assert.deepEqual(saved.slice(1).map((bytes) => Buffer.from(bytes)), [withMark(givenMade([96, 8, 12, 255]))]);
  });
