// Drives the packed players' page in Debian's Chromium as a person would (its
// sliders, fields, file inputs and drops), and runs the Windows program that
// says what the real plug-in and the stand-in's device make of the same input.
import assert from "node:assert/strict";
import { readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import { after, afterEach, before } from "node:test";
import puppeteer from "puppeteer-core";

export const [pageHtml] = process.argv.slice(2);
if (!pageHtml) throw new Error("usage: node <test>.mjs <packed page>");
const pageUrl = pathToFileURL(pageHtml).href;

export const CHANNELS = ["Red", "Green", "Blue", "Alpha"];

export { hex, reference, referenceProgram, scratchFolder, windowsPath } from "./Reference.mjs";

export function writeFiles(folder, files) {
  return files.map(({ name, bytes }) => {
    const path = join(folder, name);
    writeFileSync(path, bytes);
    return path;
  });
}

// One browser for a test file. What a player would see go wrong on any page it
// opens is recorded: a request for anything but the page's own file (refused:
// nothing may leave the page), anything its Content-Security-Policy refused, an
// error on the console or in its script, and its style not applied.
async function startBrowser({ faults, pages }) {
  let browser;
  try {
    browser = await puppeteer.launch({
      executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
      args: ["--no-sandbox", "--disable-gpu", "--force-color-profile=srgb", "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    });
  } catch (error) {
    throw new Error(`no browser could start (Debian's chromium at /usr/bin/chromium, installed by ` +
      `scripts/setup.sh): ${error.message}`);
  }
  const open = async (query = "") => {
    const page = await browser.newPage();
    pages.push(page);
    page.on("pageerror", (error) => faults.push(`script error: ${error.message}`));
    page.on("console", (message) => {
      if (message.type() === "error") faults.push(`console error: ${message.text()}`);
    });
    await page.exposeFunction("reportPolicyViolation", (words) => faults.push(`refused by its policy: ${words}`));
    await page.evaluateOnNewDocument(() => document.addEventListener("securitypolicyviolation", (event) =>
      window.reportPolicyViolation(`${event.effectiveDirective} ${event.blockedURI} (${event.sample})`)));
    await page.setRequestInterception(true);
    page.on("request", (request) => {
      if (request.url().split("?")[0] === pageUrl) {
        request.continue();
      } else {
        faults.push(`request: ${request.url()}`);
        request.abort();
      }
    });
    await page.goto(`${pageUrl}${query}`);
    // The body's width is bounded by page.css alone.
    if (await page.evaluate(() => getComputedStyle(document.body).maxWidth === "none")) {
      faults.push(`page${query} opened without its style`);
    }
    if (faults.length > 0) throw new Error(`the page${query} opened badly: ${faults.splice(0).join("; ")}`);
    return page;
  };
  return { browser, open };
}

// The browser of a test file, started before its tests and closed after them;
// each test's pages are closed after it, and none may have shown a fault.
export function browserSession() {
  const session = { faults: [], pages: [] };
  before(async () => Object.assign(session, await startBrowser(session)));
  afterEach(async () => {
    await Promise.all(session.pages.splice(0).map((page) => page.close()));
    assert.deepEqual(session.faults.splice(0), [], "what the pages showed going wrong");
  });
  after(() => session.browser?.close());
  return session;
}

const field = (name) => `input[name="${name}"]:not([type="range"])`;

// A colour value set as a person would: 0 and 255 with the slider's Home and
// End keys, anything else typed into the field, which is then left.
export async function setChannel(page, name, value) {
  if (value === 0 || value === 255) {
    await page.focus(`input[type="range"][name="${name}"]`);
    await page.keyboard.press(value === 0 ? "Home" : "End");
    return;
  }
  const input = await page.$(field(name));
  await input.click({ clickCount: 3 });
  await input.type(String(value));
  await page.keyboard.press("Tab");
}

export const channelValues = (page) => page.$$eval(CHANNELS.map(field).join(", "), (fields) =>
  Object.fromEntries(fields.map((input) => [input.name, Number(input.value)])));

// Each preview panel of a blend: its middle as ARGB (the colour from the
// canvas, the target's alpha from the number beside it), the disc's stated
// diameter and the RGB of every pixel of its middle row and column.
export function previewPanels(page, blend) {
  return page.$eval(`figure[data-blend="${blend}"]`, (figure) =>
    [...figure.querySelectorAll("canvas")].map((canvas) => {
      const { width, height } = canvas;
      const rgb = canvas.getContext("2d").getImageData(0, 0, width, height).data;
      const at = (x, y) => {
        const i = (y * width + x) * 4;
        return (rgb[i] << 16) | (rgb[i + 1] << 8) | rgb[i + 2];
      };
      const middle = Math.floor(width / 2);
      const alpha = Number(figure.querySelector(`output[data-background="${canvas.dataset.background}"]`).textContent);
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
async function drop(page, path, name) {
  const taken = await page.evaluate((base64, fileName) => {
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
async function give(page, kind, path, name, dropped) {
  const other = kind === "ini" ? "log" : "ini";
  const state = () => page.evaluate((k) =>
    `${document.getElementById(`${k}-report`).hidden} ${document.getElementById(`${k}-name`).textContent}`, other);
  const untouched = await state();
  if (dropped) await drop(page, path, name);
  else await (await page.$(`input[type="file"][accept=".${kind}"]`)).uploadFile(path);
  await page.waitForFunction((k, shown) => document.getElementById(`${k}-name`).textContent === shown &&
    !document.getElementById(`${k}-report`).hidden, { timeout: 15000 }, kind, name).catch((error) => {
    throw new Error(`${name} ${dropped ? "dropped" : "chosen"}: the ${kind} part does not show it (${error.message})`);
  });
  assert.equal(await state(), untouched, `${name}: the ${other} part is left as it was`);
}

export async function giveIni(page, path, name, dropped = false) {
  await give(page, "ini", path, name, dropped);
  return page.$eval("#ini-report", (report) => ({
    notes: [...report.querySelectorAll("#ini-notes li")].map((item) => item.textContent),
    taken: Object.fromEntries([...report.querySelectorAll("tbody tr")].map((row) =>
      [row.dataset.key, row.cells[2].textContent])),
  }));
}

export async function giveLog(page, path, name, dropped = false) {
  await give(page, "log", path, name, dropped);
  return page.$eval("#log-report", (report) => ({
    notUnderstood: report.querySelector("#log-not-understood").textContent,
    counts: report.querySelector("#log-blocks").textContent,
    executions: report.querySelector("#log-executions").textContent,
    problems: [...report.querySelectorAll("#log-problems li")].map((item) => item.textContent),
    startup: [...report.querySelectorAll("#log-startup tbody tr")].map((row) => row.cells[0].textContent),
    lines: [...report.querySelectorAll("#log-startup tbody tr")].map((row) => row.cells[1].textContent),
    events: [...report.querySelectorAll("#log-events li")].map((item) => item.textContent),
    elements: report.querySelectorAll("img, script, iframe, object, svg").length,
  }));
}

// Channels of two ARGB values that differ by more than one.
export function channelsApart(drawn, expected) {
  const apart = [];
  for (const [shift, channel] of [[24, "a"], [16, "r"], [8, "g"], [0, "b"]]) {
    if (Math.abs(((drawn >>> shift) & 255) - ((expected >>> shift) & 255)) > 1) apart.push(channel);
  }
  return apart;
}

