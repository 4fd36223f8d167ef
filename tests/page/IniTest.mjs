// The player's INI given to the page through its file input or dropped onto
// it: the switch and the colour values that the page takes equal what the real
// plug-in's LoadSettings reads from a copy of the same file under Wine in this
// run, and the page names what a player got wrong; the file that the page makes
// with a colour, downloaded or saved over the one chosen, gives the plug-in that
// colour and differs only in the lines of it. Journeys through the page's
// controls: a colour chosen is kept over a file given after it and saved, and
// the page then reports the file as saved; one colour shows everywhere, focus
// or not; a file of 2 GB gets words.
import assert from "node:assert/strict";
import { join } from "node:path";
import { readFileSync, truncateSync, writeFileSync } from "node:fs";
import { before, test } from "node:test";
import {
  CHANNELS, channelValues, downloaded, giveIni, reference, scratchFolder, browserSession, setChannel, shownColour,
  windowsPath, writeFiles,
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
    notes: ["holds bytes that no text file has"],
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
    assert.equal(await page.$eval("#ini-put-part", (part) => (/** @type {HTMLElement} */ (part)).hidden), Boolean(c.alone),
      `${c.name}: a colour offered to be put into it only if it is an INI`);
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

/** The settings that the report says the plug-in takes, as numbers. @param {import("puppeteer-core").Page} page */
const reported = (page) => page.$$eval("#ini-settings tbody tr", (rows) => Object.fromEntries(rows.map((row) =>
  [(/** @type {HTMLTableRowElement} */ (row)).dataset.key, parseInt(`${(/** @type {HTMLTableRowElement} */ (row))
    .cells[2].textContent}`, 10)])));
/** @param {import("puppeteer-core").Page} page @param {Record<string, number>} plugin @param {string} what */
async function reportsAsPluginReads(page, plugin, what) {
  const shown = await reported(page);
  assert.deepEqual(shown, Object.fromEntries(Object.keys(shown).map((key) => [key, plugin[key]])), what);
}

test("the page puts the colour into the file given, and with none offers the first start's INI", async () => {
  const page = await session.open();
  assert.deepEqual(await page.$$eval("#ini-put-part, #ini-new-part", (parts) => parts.map((part) =>
    (/** @type {HTMLElement} */ (part)).hidden)), [true, false], "with no file, only the new file is offered");
  const colour = [60, 180, 255, 128];
  await choose(page, colour);
  await page.click("#ini-new");
  const fresh = await downloaded(downloads, "Vorlaine.Crimsel.ini");
  assert.equal(fresh.toString("latin1"), withValues(template, settingsOf(colour)), "the first start's INI, coloured");
  assert.match((await changes(page)).join(" "), /downloads folder.*name it Vorlaine\.Crimsel\.ini and move it beside /);

  const folder = scratchFolder();
  const [path] = writeFiles(folder, [{ name: "given.ini", bytes: withMark(GIVEN) }]);
  await giveIni(page, path, "given.ini");
  const chosen = [200, 10, 40, 255];
  await choose(page, chosen);
  await page.click("#ini-put");
  const made = await downloaded(downloads, "given.ini");
  assert.deepEqual(made, withMark(givenMade(chosen)), "the lines of the colour alone changed or added");
  const plugin = pluginReads("made.ini", made);
  assert.deepEqual(plugin, { file: 0, ...pluginReads("given.ini", withMark(GIVEN)), ...settingsOf(chosen) },
    "the plug-in reads the colour, and every other value as before");
  const said = await changes(page);
  assert.ok(said.some((text) => text?.startsWith("Line 3: Red=2 is left as it was")), `${said}`);
  await reportsAsPluginReads(page, plugin, "the report is of the file downloaded");
});

/** @param {number[]} colour */
const query = (colour) => `?${CHANNELS.map((name, i) => `${name}=${colour[i]}`).join("&")}`;
/** @param {Record<string, number>} read */
const colourOf = (read) => CHANNELS.map((name) => read[name]);

// Chromium's file picker gives a handle that the page saves over; a headless
// run cannot answer the picker, so the page is handed a handle of the test's.
// Firefox has no such picker: there the page downloads the file it makes.
const handled = process.env.CRIMSEL_BROWSER !== "firefox";

test("a preset, then an INI given and saved: the file holds the preset's colour, and the page says what it did",
  async () => {
    const page = await session.open();
    const [preset] = await page.$$("xpath/.//button[starts-with(., 'Dark solid blood')]");
    const chosen = (/\d+\/\d+\/\d+\/\d+/.exec(`${await preset.evaluate((button) => button.textContent)}`) ?? [""])[0]
      .split("/").map(Number);
    await preset.click();
    const given = pluginReads("given.ini", ansi(template));
    if (handled) {
      await page.evaluate((/** @type {string} */ base64) => {
        const saved = /** @type {number[][]} */ ([[...Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))]]);
        const handle = { getFile: async () => new File([new Uint8Array(saved[saved.length - 1])], "Vorlaine.Crimsel.ini"),
          createWritable: async () => ({ write: async (/** @type {Uint8Array} */ data) => saved.push([...data]),
            close: async () => {} }) };
        Object.assign(window, { showOpenFilePicker: async () => [handle], saved });
      }, ansi(template).toString("base64"));
      await page.click("#ini-file");
      await page.waitForFunction(() => document.getElementById("ini-name")?.textContent === "Vorlaine.Crimsel.ini");
    } else {
      const [path] = writeFiles(scratchFolder(), [{ name: "Vorlaine.Crimsel.ini", bytes: ansi(template) }]);
      await giveIni(page, path, "Vorlaine.Crimsel.ini");
    }
    assert.deepEqual(Object.values(await channelValues(page)), chosen, "the colour chosen is kept");
    assert.match(`${await page.$eval("#ini-file-colour", (offer) => offer.textContent)}`,
      new RegExp(`holds another colour: ${CHANNELS.map((name) => `${name} ${given[name]}`).join(", ")}`));
    await page.click("#ini-put");
    await page.waitForFunction(() => document.getElementById("ini-saved")?.textContent);
    /** @returns {Promise<number[][]>} */
    const written = () => page.evaluate(() => (/** @type {any} */ (window)).saved);
    const saved = handled ? Buffer.from((await written()).slice(-1)[0])
      : await downloaded(downloads, "Vorlaine.Crimsel.ini");
    const plugin = pluginReads("saved.ini", saved);
    assert.deepEqual(plugin, { ...given, ...settingsOf(chosen) }, "the plug-in reads the colour chosen");
    await reportsAsPluginReads(page, plugin, "the report is of the file saved");
    assert.deepEqual((await giveIniNotes(page)).filter((note) => /PatchBloodDecalColorAndAlpha is off/.test(note)), []);
    assert.equal(await page.$eval("#ini-colour-offer", (offer) => (/** @type {HTMLElement} */ (offer)).hidden), true);
    assert.match((await changes(page)).join(" "), handled ? /Saved into Vorlaine\.Crimsel\.ini/ : /name it Vor/);

    // A file that the page refuses to change (damaged UTF-16) is never said to be saved.
    const damaged = Buffer.concat([withMark(GIVEN), Buffer.from("!")]);
    if (handled) {
      await page.evaluate((/** @type {string} */ base64) => (/** @type {any} */ (window)).saved.push(
        [...Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))]), damaged.toString("base64"));
    } else {
      await giveIni(page, writeFiles(scratchFolder(), [{ name: "damaged.ini", bytes: damaged }])[0], "damaged.ini");
    }
    const count = handled ? (await written()).length : 0;
    await page.click("#ini-put");
    await page.waitForFunction(() => document.querySelector("#ini-changes li")?.textContent?.startsWith("Your file " +
      "was not changed"));
    assert.equal(await page.$eval("#ini-saved", (where) => where.textContent), "", "nothing said to be saved");
    if (handled) assert.equal((await written()).length, count, "nothing written");
  });

/** @param {import("puppeteer-core").Page} page */
const giveIniNotes = (page) => page.$$eval("#ini-notes li", (items) => items.map((item) => `${item.textContent}`));

test("a colour taken with Enter, then an INI dropped: one colour everywhere; the file's colour when taken",
  async () => {
    const page = await session.open();
    /** @param {number[]} colour @param {string} what */
    const showsOnly = async (colour, what) => {
      assert.deepEqual(Object.values(await channelValues(page)), colour, what);
      assert.deepEqual(await shownColour(page), await shownColour(await session.open(query(colour))), what);
      await page.bringToFront(); // a tab behind another takes no clicks
    };
    const alpha = /** @type {import("puppeteer-core").ElementHandle<HTMLInputElement>} */ (
      await page.$('input[type="text"][name="Alpha"]'));
    await alpha.click();
    await alpha.evaluate((field) => field.select());
    await alpha.type("128");
    await page.keyboard.press("Enter");
    const typed = Object.values(await channelValues(page));
    const [colourOn, numberForms] = ["colour on", "number forms"].map((name) => ALL.findIndex((c) => c.name === name));
    await giveIni(page, paths[colourOn], ALL[colourOn].file, true);
    assert.deepEqual(await page.evaluate(() => {
      const heading = /** @type {HTMLElement} */ (document.getElementById("ini-heading"));
      const { top, bottom } = heading.getBoundingClientRect();
      return [document.activeElement === heading, top > -1 && bottom <= innerHeight];
    }), [true, true], "the dropped file's report in view, the focus on it");
    await showsOnly(typed, "the colour taken with Enter, after a file dropped");
    await page.click("#ini-take-colour");
    await showsOnly(colourOf(read[colourOn]), "the file's colour, taken");
    // A field that has the focus, not typed into, follows the next file's colour.
    await page.click('input[type="text"][name="Red"]');
    await giveIni(page, paths[numberForms], ALL[numberForms].file, true);
    await showsOnly(colourOf(read[numberForms]), "the next file's colour");
  });

test("a file of 2 GB given as the INI gets words within seconds, and leaves the colour", async () => {
  const page = await session.open();
  const path = join(scratchFolder(), "Vorlaine.Crimsel.ini");
  writeFileSync(path, "");
  truncateSync(path, 2 ** 31 + 1); // sparse: it takes no disk
  const colour = await channelValues(page);
  const started = Date.now();
  const { notes } = await giveIni(page, path, "Vorlaine.Crimsel.ini");
  assert.ok(Date.now() - started < 5000, `answered in ${Date.now() - started} ms`);
  assert.match(notes.join(" "), new RegExp(`${(2 ** 31 + 1).toLocaleString("en")} bytes`));
  assert.deepEqual(await channelValues(page), colour);
  assert.equal(await page.$eval("#ini-put-part", (part) => (/** @type {HTMLElement} */ (part)).hidden), true);
});
