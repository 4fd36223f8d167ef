// Drives the packed players' page in Debian's Chromium, or in Debian's Firefox
// ESR when CRIMSEL_BROWSER=firefox, as a person would (its sliders, fields, file
// inputs and drops), checks each page with axe-core in the light and the dark
// scheme, and runs the Windows program that says what the real plug-in and the
// stand-in's device make of the same input.
import assert from "node:assert/strict";
import { existsSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import { after, afterEach, before } from "node:test";
import puppeteer from "puppeteer-core";

/** @typedef {import("puppeteer-core").Browser} Browser @typedef {import("puppeteer-core").Page} Page */
/** @typedef {import("puppeteer-core").ElementHandle<HTMLInputElement>} InputHandle */
/** @typedef {"light" | "dark" | null} Scheme null for the page's own */

export const [pageHtml] = process.argv.slice(2);
if (!pageHtml) throw new Error("usage: node <test>.mjs <packed page>");
const pageUrl = pathToFileURL(pageHtml).href;

/** @type {Record<string, { name: string, options: import("puppeteer-core").LaunchOptions }>} */
const BROWSERS = {
  chromium: {
    name: "Debian's chromium",
    options: {
      executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
      args: ["--no-sandbox", "--disable-gpu", "--force-color-profile=srgb", "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    },
  },
  firefox: {
    name: "Debian's firefox-esr",
    options: { browser: "firefox", executablePath: process.env.FIREFOX || "/usr/bin/firefox-esr", headless: true },
  },
};
const browserName = process.env.CRIMSEL_BROWSER || "chromium";
if (!(browserName in BROWSERS)) throw new Error(`CRIMSEL_BROWSER=${browserName}: not one of ${Object.keys(BROWSERS)}`);

export const CHANNELS = ["Red", "Green", "Blue", "Alpha"];

export { hex, reference, referenceProgram, scratchFolder, windowsPath } from "./Reference.mjs";

/** @param {string} folder @param {{ name: string, bytes: Uint8Array }[]} files @returns {string[]} */
export function writeFiles(folder, files) {
  return files.map(({ name, bytes }) => {
    const path = join(folder, name);
    writeFileSync(path, bytes);
    return path;
  });
}

// What the page itself may ask for: its own file (with a query), and data: and
// blob: URLs, which hold what the page already has (it starts its worker from
// a blob:, and Firefox asks for a data: font of its own).
/** @param {string} url */
const isOwn = (url) => url.split(/[?#]/)[0] === pageUrl || /^(data|blob):/.test(url);

// Firefox has no emulation of the colour scheme for one page; its "Website
// appearance" setting, which a WebExtension may change while it runs, switches
// every page at once. This one sets it whenever a tab of the session's is sent
// to a data: URL that names the scheme.
const SCHEME_EXTENSION = {
  "manifest.json": JSON.stringify({
    manifest_version: 2, name: "Colour scheme of the page tests", version: "1.0",
    browser_specific_settings: { gecko: { id: "colour-scheme@page-tests.crimsel" } },
    permissions: ["browserSettings", "tabs"], background: { scripts: ["background.js"] },
  }),
  "background.js": `browser.tabs.onUpdated.addListener((tab, { url }) => {
  const value = /^data:text\\/plain,scheme-(light|dark|auto)-\\d+$/.exec(url || "")?.[1];
  if (value) browser.browserSettings.overrideContentColorScheme.set({ value });
});
`,
};

// The pages' colour scheme: "light", "dark", or null for the page's own again
// (Chromium's as launched; Firefox's as its setting leaves it, "auto").
/** @param {Browser} browser @returns {Promise<(pages: Page[], scheme: Scheme) => Promise<unknown>>} */
async function schemeSetter(browser) {
  if (browserName === "chromium") {
    return (pages, scheme) => Promise.all(pages.map((page) =>
      page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: scheme ?? "" }])));
  }
  const folder = mkdtempSync(join(tmpdir(), "crimsel-scheme-"));
  try {
    for (const [name, text] of Object.entries(SCHEME_EXTENSION)) writeFileSync(join(folder, name), text);
    await browser.installExtension(folder);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
  const tab = (await browser.pages())[0] ?? (await browser.newPage());
  let switches = 0;
  return async (pages, scheme) => {
    await tab.goto(`data:text/plain,scheme-${scheme ?? "auto"}-${++switches}`);
    await Promise.all(pages.map((page) => page.waitForFunction((/** @type {boolean} */ dark) =>
      matchMedia("(prefers-color-scheme: dark)").matches === dark, { polling: 50, timeout: 5000 }, scheme === "dark")
      .catch(() => { throw new Error(`the page did not turn ${scheme ?? "back to its own scheme"}`); })));
  };
}

const AXE = readFileSync(createRequire(import.meta.url).resolve("axe-core/axe.min.js"), "utf8");

// axe-core's violations on a page as it stands: the rule, its impact, the
// first elements it names and what it says of the first.
/** @typedef {typeof window & { axe: typeof import("axe-core") }} WithAxe */
/** @param {Page} page */
async function violations(page) {
  if (!(await page.evaluate(() => typeof (/** @type {WithAxe} */ (window)).axe === "object"))) await page.evaluate(AXE);
  return page.evaluate(async () => (await (/** @type {WithAxe} */ (window)).axe.run(document,
    { resultTypes: ["violations"] })).violations
    .map(({ id, impact, nodes }) => ({
      id, impact, count: nodes.length,
      targets: nodes.slice(0, 3).map((node) => node.target.flat().join(" ")),
      says: [...nodes[0].any, ...nodes[0].all, ...nodes[0].none][0]?.message ?? "",
    })));
}

// One browser for a test file. What a player would see go wrong on any page it
// opens is recorded: a request for anything but what is the page's own
// (refused: nothing may leave the page), a navigation elsewhere, anything its
// Content-Security-Policy refused, an error on the console or in its script,
// its style not applied, and what axe-core finds wrong in the light and the
// dark scheme, as the page opens and as the test leaves it. Firefox shows no
// file: requests to the driver: its policy, which refuses them, reports them.
/** @param {{ faults: string[], pages: Page[], downloads?: string }} session */
async function startBrowser({ faults, pages, downloads }) {
  let browser;
  try {
    browser = await puppeteer.launch({ ...BROWSERS[browserName].options, ...(downloads && downloadOptions(downloads)) });
  } catch (error) {
    throw new Error(`no browser could start (${BROWSERS[browserName].name} at ` +
      `${BROWSERS[browserName].options.executablePath}, installed by scripts/setup.sh): ${reason(error)}`,
    { cause: error });
  }
  const setScheme = await schemeSetter(browser);
  /** @type {Map<Page, string>} */
  const names = new Map();
  /** @type {WeakMap<Page, Set<string>>} */
  const seen = new WeakMap();
  // Each page in the light, then the dark scheme; what a page showed before,
  // in the same scheme, is not told again.
  /** @param {Page[]} checked @param {string} when */
  const checkAccessibility = async (checked, when) => {
    /** @typedef {Awaited<ReturnType<typeof violations>>[number] & { schemes: Scheme[] }} Found */
    const found = new Map(checked.map((page) => [page, /** @type {Map<string, Found>} */ (new Map())]));
    try {
      for (const scheme of /** @type {const} */ (["light", "dark"])) {
        await setScheme(checked, scheme);
        for (const page of checked) {
          // Firefox runs the timers of a tab in the background a second apart.
          if (browserName === "firefox") await page.bringToFront();
          const shown = await violations(page).catch((error) =>
            [{ id: "axe-core did not run", impact: reason(error), count: 0, targets: [], says: "" }]);
          const told = seen.get(page) ?? new Set();
          seen.set(page, told);
          const ofPage = found.get(page) ?? new Map();
          for (const violation of shown) {
            const where = `${violation.id} ${violation.targets}`;
            if (told.has(`${scheme} ${where}`)) continue;
            told.add(`${scheme} ${where}`);
            const entry = ofPage.get(where) ?? { ...violation, schemes: [] };
            ofPage.set(where, entry);
            entry.schemes.push(scheme);
          }
        }
      }
    } finally {
      await setScheme(checked, null);
    }
    for (const [page, shown] of found) {
      for (const { id, impact, count, targets, says, schemes } of shown.values()) {
        const more = count > targets.length ? ` and ${count - targets.length} more` : "";
        faults.push(`axe-core, ${schemes.join(" and ")}, page${names.get(page)} ${when}: ${id} (${impact}) at ` +
          `${targets.join(", ")}${more}${says && `: ${says}`}`);
      }
    }
  };
  /** @type {Set<string>} the queries of the pages checked as they opened */
  const opened = new Set();
  /** @param {string} [query] @param {(page: Page) => Promise<unknown>} [setUp] done before the page opens */
  const open = async (query = "", setUp) => {
    const page = await browser.newPage();
    await setUp?.(page);
    pages.push(page);
    names.set(page, query);
    page.on("pageerror", (error) => faults.push(`script error: ${reason(error)}`));
    page.on("console", (message) => {
      if (message.type() === "error") faults.push(`console error: ${message.text()}`);
    });
    page.on("framenavigated", (frame) => {
      if (!isOwn(frame.url()) && frame.url() !== "about:blank") faults.push(`navigated to ${frame.url()}`);
    });
    await page.exposeFunction("reportPolicyViolation", (/** @type {string} */ words) =>
      faults.push(`refused by its policy: ${words}`));
    await page.evaluateOnNewDocument(() => document.addEventListener("securitypolicyviolation", (event) =>
      (/** @type {typeof window & { reportPolicyViolation: (words: string) => void }} */ (window))
        .reportPolicyViolation(`${event.effectiveDirective} ${event.blockedURI} (${event.sample})`)));
    await page.setRequestInterception(true);
    page.on("request", (request) => {
      if (isOwn(request.url())) {
        request.continue();
      } else {
        faults.push(`request: ${request.url()}`);
        request.abort();
      }
    });
    const earlier = faults.length;
    await page.goto(`${pageUrl}${query}`);
    // The body's width is bounded by page.css alone.
    if (await page.evaluate(() => getComputedStyle(document.body).maxWidth === "none")) {
      faults.push(`page${query} opened without its style`);
    }
    if (faults.length > earlier) {
      throw new Error(`the page${query} opened badly: ${faults.splice(earlier).join("; ")}`);
    }
    // A page opened as one before it was, with nothing done first, is the same page: checked once.
    if (setUp || !opened.has(query)) await checkAccessibility([page], "as it opened");
    if (!setUp) opened.add(query);
    return page;
  };
  /** @param {Page} page @param {Scheme} value */
  const scheme = (page, value) => setScheme([page], value);
  return { browser, open, checkAccessibility, scheme };
}
/** @typedef {Awaited<ReturnType<typeof startBrowser>>} Started */

// Downloads saved into the folder without asking: Chromium's by its DevTools
// protocol, Firefox's by its preferences.
/** @param {string} folder @returns {import("puppeteer-core").LaunchOptions} */
const downloadOptions = (folder) => (browserName === "chromium"
  ? { downloadBehavior: { policy: "allow", downloadPath: folder } }
  : { extraPrefsFirefox: { "browser.download.folderList": 2, "browser.download.dir": folder,
    "browser.download.useDownloadDir": true, "browser.download.always_ask_before_handling_new_types": false,
    "browser.download.start_downloads_in_tmp_dir": false, "browser.download.alwaysOpenPanel": false } });

// A file that the browser downloaded into the folder once it is whole, taken out of it.
/** @param {string} folder @param {string} name */
export async function downloaded(folder, name) {
  const path = join(folder, name);
  for (let tries = 0; !existsSync(path) || readdirSync(folder).some((file) => /\.(part|crdownload)$/.test(file));) {
    if (++tries > 100) throw new Error(`${name} was not downloaded (there: ${readdirSync(folder).join(", ")})`);
    await new Promise((wait) => setTimeout(wait, 100));
  }
  const bytes = readFileSync(path);
  rmSync(path);
  return bytes;
}

/** @param {unknown} error */
const reason = (error) => (error instanceof Error ? error.message : String(error));

// The browser of a test file, started before its tests and closed after them;
// each test's pages are checked by axe-core as the test left them and closed
// after it, and none may have shown a fault. Downloads go into the folder given.
/** @param {string} [downloads] @returns {Pick<Started, "open" | "scheme">} */
export function browserSession(downloads) {
  /** @type {{ faults: string[], pages: Page[], downloads?: string }} */
  const session = { faults: [], pages: [], downloads };
  /** @type {Started | null} */
  let started = null;
  before(async () => (started = await startBrowser(session)));
  afterEach(async () => {
    const pages = session.pages.splice(0);
    await started?.checkAccessibility(pages, "as the test left it").catch((error) =>
      session.faults.push(`the pages as the test left them could not be checked: ${reason(error)}`));
    await Promise.all(pages.map((page) => page.close()));
    assert.deepEqual(session.faults.splice(0), [], "what the pages showed going wrong");
  });
  after(() => started?.browser.close());
  const running = () => started ?? assert.fail("the test file's browser has not started");
  return { open: (query, setUp) => running().open(query, setUp), scheme: (page, value) => running().scheme(page, value) };
}

/** @param {string} name */
const field = (name) => `input[name="${name}"]:not([type="range"])`;

// A colour value set as a person would: 0 and 255 with the slider's Home and
// End keys, anything else typed over the field's text, which is then left.
/** @param {Page} page @param {string} name @param {number | string} value */
export async function setChannel(page, name, value) {
  if (value === 0 || value === 255) {
    await page.focus(`input[type="range"][name="${name}"]`);
    await page.keyboard.press(value === 0 ? "Home" : "End");
    return;
  }
  const input = /** @type {InputHandle} */ (await page.$(field(name)));
  await input.click();
  // All of the field's text selected, as a triple click does, without a triple
  // click's timing, which a busy machine can break into single clicks.
  await input.evaluate((typed) => typed.select());
  await input.type(String(value));
  await page.keyboard.press("Tab");
}

/** @param {Page} page @returns {Promise<Record<string, number>>} */
export const channelValues = (page) => page.$$eval(CHANNELS.map(field).join(", "), (fields) =>
  Object.fromEntries(fields.map((input) => /** @type {HTMLInputElement} */ (input))
    .map((input) => [input.name, Number(input.value)])));

// Each preview panel of a blend: its middle as ARGB (the colour from the
// canvas, the target's alpha from the number beside it), the disc's stated
// diameter and the RGB of every pixel of its middle row and column.
/** @param {Page} page @param {string} blend "patched" or "usual" */
export function previewPanels(page, blend) {
  return page.$eval(`figure[data-blend="${blend}"]`, (figure) =>
    [...figure.querySelectorAll("canvas")].map((canvas) => {
      const { width, height } = canvas;
      const context = /** @type {CanvasRenderingContext2D} */ (canvas.getContext("2d"));
      const rgb = context.getImageData(0, 0, width, height).data;
      /** @param {number} x @param {number} y */
      const at = (x, y) => {
        const i = (y * width + x) * 4;
        return (rgb[i] << 16) | (rgb[i + 1] << 8) | rgb[i + 2];
      };
      const middle = Math.floor(width / 2);
      const alpha = Number(figure.querySelector(`output[data-background="${canvas.dataset.background}"]`)?.textContent);
      return {
        middle: ((alpha << 24) | at(middle, Math.floor(height / 2))) >>> 0,
        diameter: Number(canvas.dataset.discDiameter),
        row: Array.from({ length: width }, (_, x) => at(x, Math.floor(height / 2))),
        column: Array.from({ length: height }, (_, y) => at(middle, y)),
      };
    }));
}

// A file dropped onto the page as a person's drag gives it: a dragover, then
// the drop, both of which the page must take (or the browser would open the
// file in its place).
/** @param {Page} page @param {string} path @param {string} name */
async function drop(page, path, name) {
  const taken = await page.evaluate((/** @type {string} */ base64, /** @type {string} */ fileName) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], fileName));
    return ["dragover", "drop"].map((type) => !document.body.dispatchEvent(new DragEvent(type,
      { bubbles: true, cancelable: true, dataTransfer: transfer })));
  }, readFileSync(path).toString("base64"), name);
  assert.deepEqual(taken, [true, true], `${name}: the page takes the dragover and the drop`);
}

// A file given to the page's part for its kind ("ini" or "log"), chosen
// through that part's input or dropped onto the page; resolves once that part
// shows it by its name, and the other part is as it was.
/** @param {Page} page @param {"ini" | "log"} kind @param {string} path @param {string} name @param {boolean} dropped */
async function give(page, kind, path, name, dropped) {
  const other = kind === "ini" ? "log" : "ini";
  const state = () => page.evaluate((k) =>
    `${document.getElementById(`${k}-report`)?.hidden} ${document.getElementById(`${k}-name`)?.textContent}`, other);
  const untouched = await state();
  if (dropped) await drop(page, path, name);
  else await (/** @type {InputHandle} */ (await page.$(`input[type="file"][accept=".${kind}"]`))).uploadFile(path);
  await page.waitForFunction((k, shown) => document.getElementById(`${k}-name`)?.textContent === shown &&
    !document.getElementById(`${k}-report`)?.hidden, { timeout: 15000 }, kind, name).catch((error) => {
    throw new Error(`${name} ${dropped ? "dropped" : "chosen"}: the ${kind} part does not show it (${reason(error)})`,
      { cause: error });
  });
  assert.equal(await state(), untouched, `${name}: the ${other} part is left as it was`);
}

/** @param {Page} page @param {string} path @param {string} name */
export async function giveIni(page, path, name, dropped = false) {
  await give(page, "ini", path, name, dropped);
  return page.$eval("#ini-report", (report) => ({
    notes: [...report.querySelectorAll("#ini-notes li")].map((item) => item.textContent),
    taken: Object.fromEntries([.../** @type {NodeListOf<HTMLTableRowElement>} */ (report.querySelectorAll("tbody tr"))]
      .map((row) => [row.dataset.key, row.cells[2].textContent])),
  }));
}

// The timeline's pixels, RGBA row by row in the device's pixels, once its
// drawing is whole (it is busy while a drawing goes on over several frames):
// what the browser shows of the canvas, inside its border, as a player sees
// it, since the canvas may be a worker's, which the page cannot read.
/** @param {Page} page */
export async function timelinePixels(page) {
  const { width, height, shown } = await timelineShown(page, false);
  return { width, height, rgba: Buffer.from(shown, "base64") };
}

// The same pixels as their size and a SHA-1 of them, made in the page: a picture
// compared whole need not cross to the test.
/** @param {Page} page */
export async function timelinePicture(page) {
  const { width, height, shown } = await timelineShown(page, true);
  return `${width}x${height} ${shown}`;
}

/** @param {Page} page @param {boolean} digest @returns {Promise<{ width: number, height: number, shown: string }>} */
async function timelineShown(page, digest) {
  await page.evaluate(async () => {
    const drawn = () => document.getElementById("timeline")?.getAttribute("aria-busy") === "false";
    do await new Promise((frame) => requestAnimationFrame(frame)); while (!drawn());
  });
  const canvas = /** @type {import("puppeteer-core").ElementHandle<HTMLCanvasElement>} */ (await page.$("#timeline"));
  let shot = await canvas.screenshot({ encoding: "base64" });
  // Firefox may show a worker's canvas a moment after the worker has told that it drew: the picture is taken
  // again until two in a row agree.
  for (let tries = 0, before = ""; browserName === "firefox" && shot !== before && tries < 10; tries++) {
    before = shot;
    shot = await canvas.screenshot({ encoding: "base64" });
  }
  return page.evaluate(async (png, digest) => {
    const shown = /** @type {HTMLCanvasElement} */ (document.getElementById("timeline"));
    const file = Uint8Array.from(atob(png), (character) => character.charCodeAt(0));
    const picture = await createImageBitmap(new Blob([file], { type: "image/png" }));
    const [w, h] = [shown.clientWidth, shown.clientHeight].map((size) => Math.round(size * devicePixelRatio));
    // Where the border ends in the shot: a canvas laid out at a fraction of a pixel is cut a pixel off its border
    // box, one way or the other, so the rows and columns of the border's colour are skipped, not counted.
    const whole = /** @type {OffscreenCanvasRenderingContext2D} */ (new OffscreenCanvas(picture.width, picture.height)
      .getContext("2d"));
    whole.drawImage(picture, 0, 0);
    const all = whole.getImageData(0, 0, picture.width, picture.height).data;
    const border = (getComputedStyle(shown).borderTopColor.match(/\d+/g) ?? []).slice(0, 3).map(Number);
    const bordered = (/** @type {number} */ x, /** @type {number} */ y) =>
      [0, 1, 2].every((c) => Math.abs(all[4 * (y * picture.width + x) + c] - border[c]) <= 2);
    // A line of the border's colour across the middle half of the shot: the border, which no drawing has.
    const across = (/** @type {number} */ from, /** @type {number} */ length, /** @type {(i: number) => boolean} */ at) =>
      [...Array(Math.floor(length / 2)).keys()].every((i) => at(from + Math.floor(length / 4) + i));
    const edge = (/** @type {number} */ room, /** @type {(line: number) => boolean} */ isBorder) =>
      [...Array(room + 1).keys()].reduce((found, line) => (isBorder(line) ? line + 1 : found), 0);
    const top = edge(picture.height - h, (y) => across(0, w, (x) => bordered(x, y)));
    const left = edge(picture.width - w, (x) => across(top, h, (y) => bordered(x, y)));
    const context = /** @type {OffscreenCanvasRenderingContext2D} */ (new OffscreenCanvas(w, h).getContext("2d"));
    context.drawImage(picture, -left, -top);
    const data = context.getImageData(0, 0, w, h).data;
    if (digest) {
      const hash = new Uint8Array(await crypto.subtle.digest("SHA-1", data));
      return { width: w, height: h, shown: [...hash].map((byte) => byte.toString(16).padStart(2, "0")).join("") };
    }
    let bytes = "";
    for (let i = 0; i < data.length; i += 0x8000) bytes += String.fromCharCode(...data.subarray(i, i + 0x8000));
    return { width: w, height: h, shown: btoa(bytes) };
  }, shot, digest);
}

// The timeline once it has followed a window of the width given: laid out
// across it, and drawn again at its new size (the drawing is busy from the
// frame where the page sees the new size).
/** @param {Page} page @param {number} width the window's */
export async function resized(page, width) {
  await page.waitForFunction((/** @type {number} */ w) => window.innerWidth === w, {}, width);
  await page.evaluate(async () => {
    const canvas = /** @type {HTMLCanvasElement} */ (document.getElementById("timeline"));
    // A loaded machine may see the new size a frame or two late: a few frames, and the same width in the last two.
    let width = -1;
    for (let frame = 0; frame < 4 || canvas.clientWidth !== width; frame++) {
      width = canvas.clientWidth;
      await new Promise((next) => requestAnimationFrame(next));
    }
    while (canvas.getAttribute("aria-busy") !== "false") await new Promise((next) => requestAnimationFrame(next));
  });
}

// The chosen cell's block and words, and the cursor's words, once they are in:
// they come from the drawing, which holds the cells, a moment after a choice.
/** @param {Page} page */
export const chosenShown = (page) => page.waitForFunction(() =>
  document.querySelector("#block-lines .selected") !== null &&
  document.getElementById("block-view")?.getAttribute("aria-busy") === "false" &&
  document.getElementById("timeline-cursor")?.getAttribute("aria-busy") !== "true");

/** @param {Page} page @param {string} path @param {string} name */
export async function giveLog(page, path, name, dropped = false) {
  await give(page, "log", path, name, dropped);
  return page.$eval("#log-report", (report) => ({
    notUnderstood: report.querySelector("#log-not-understood")?.textContent,
    counts: report.querySelector("#log-blocks")?.textContent,
    executions: report.querySelector("#log-executions")?.textContent,
    problems: [...report.querySelectorAll("#log-problems li")].map((item) => item.textContent),
    startup: [...report.querySelectorAll("#log-startup tbody tr")].map((row) => row.children[0].textContent),
    lines: [...report.querySelectorAll("#log-startup tbody tr")].map((row) => row.children[1].textContent),
    events: [...report.querySelectorAll("#log-events li")].map((item) => item.textContent),
    elements: report.querySelectorAll("img, script, iframe, object, svg").length,
  }));
}

// Channels of two ARGB values that differ by more than one.
/** @param {number} drawn @param {number} expected */
export function channelsApart(drawn, expected) {
  const apart = [];
  for (const [shift, channel] of /** @type {const} */ ([[24, "a"], [16, "r"], [8, "g"], [0, "b"]])) {
    if (Math.abs(((drawn >>> shift) & 255) - ((expected >>> shift) & 255)) > 1) apart.push(channel);
  }
  return apart;
}

// Everything that shows the colour: each field and slider, its words, the lines
// to paste, the link, and the pixels of the swatch and the previews' middles.
// Two pages that show one colour give the same.
/** @param {Page} page */
export async function shownColour(page) {
  const shown = await page.evaluate(() => {
    const canvas = /** @type {HTMLCanvasElement} */ (document.getElementById("colour-swatch"));
    const swatch = /** @type {CanvasRenderingContext2D} */ (canvas.getContext("2d")).getImageData(0, 0, canvas.width,
      canvas.height).data;
    return {
      controls: [...document.querySelectorAll("#colour input")].map((input) =>
        `${(/** @type {HTMLInputElement} */ (input)).type} ${(/** @type {HTMLInputElement} */ (input)).name} ` +
        (/** @type {HTMLInputElement} */ (input)).value),
      words: ["colour-words", "blend-words"].map((id) => document.getElementById(id)?.textContent),
      lines: (/** @type {HTMLTextAreaElement} */ (document.getElementById("colour-lines"))).value,
      link: document.getElementById("colour-link")?.getAttribute("href"),
      swatch: swatch.join(","),
    };
  });
  const previews = [...await previewPanels(page, "patched"), ...await previewPanels(page, "usual")];
  return { ...shown, previews: previews.map(({ middle }) => middle) };
}
