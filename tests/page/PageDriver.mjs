// Drives the packed players' page in Debian's Chromium as a person would (its
// sliders, fields and file input), and runs the Windows program that says what
// the real plug-in and the stand-in's device make of the same input.
import { spawnSync } from "node:child_process";
import { mkdtempSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import { after, before } from "node:test";
import puppeteer from "puppeteer-core";

export const [pageHtml, referenceProgram] = process.argv.slice(2);
if (!pageHtml || !referenceProgram) {
  throw new Error("usage: node <test>.mjs <packed page> <page_reference.exe>");
}
const pageUrl = pathToFileURL(pageHtml).href;

export const CHANNELS = ["Red", "Green", "Blue", "Alpha"];

// The Windows program's JSON lines, under the session's Wine.
export function reference(...args) {
  const run = spawnSync("wine", [referenceProgram, ...args], { encoding: "utf8", maxBuffer: 1 << 26 });
  if (run.status !== 0) {
    throw new Error(`page_reference ${args[0]} failed (${run.status}): ${run.stderr}`);
  }
  return run.stdout.split(/\r?\n/).filter((line) => line.trim() !== "").map((line) => JSON.parse(line));
}

// A path as Wine's Windows programs name it.
export const windowsPath = (path) => `Z:${path}`;

export const scratchFolder = () => mkdtempSync(join(tmpdir(), "crimsel-page-"));

export function writeFiles(folder, files) {
  return files.map(({ name, bytes }) => {
    const path = join(folder, name);
    writeFileSync(path, bytes);
    return path;
  });
}

// One browser for a test file. Every request the page makes is recorded, and
// any but the page's own file is refused: nothing may leave the page.
async function startBrowser() {
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
  const foreignRequests = [];
  const errors = [];
  const open = async (query = "") => {
    const page = await browser.newPage();
    page.on("pageerror", (error) => errors.push(error.message));
    await page.setRequestInterception(true);
    page.on("request", (request) => {
      if (request.url().split("?")[0] === pageUrl) {
        request.continue();
      } else {
        foreignRequests.push(request.url());
        request.abort();
      }
    });
    await page.goto(`${pageUrl}${query}`);
    if (errors.length > 0) throw new Error(`the page's script failed: ${errors.join("; ")}`);
    return page;
  };
  return { browser, open, foreignRequests, errors };
}

// The browser of a test file, started before its tests and closed after them.
export function browserSession() {
  const session = {};
  before(async () => Object.assign(session, await startBrowser()));
  after(() => session.browser.close());
  return session;
}

// A colour value set as a person would: 0 and 255 with the slider's Home and
// End keys, anything else typed into the field.
export async function setChannel(page, name, value) {
  if (value === 0 || value === 255) {
    await page.focus(`input[type="range"][name="${name}"]`);
    await page.keyboard.press(value === 0 ? "Home" : "End");
    return;
  }
  const field = await page.$(`input[type="number"][name="${name}"]`);
  await field.click({ clickCount: 3 });
  await field.type(String(value));
  await page.keyboard.press("Tab");
}

export const channelValues = (page) => page.$$eval('input[type="number"]', (fields) =>
  Object.fromEntries(fields.map((field) => [field.name, Number(field.value)])));

// The middle of each preview panel as ARGB: its colour from the canvas, the
// target's alpha from the number beside it.
export function previewPixels(page, blend) {
  return page.$eval(`figure[data-blend="${blend}"]`, (figure) =>
    [...figure.querySelectorAll("canvas")].map((canvas) => {
      const [r, g, b] = canvas.getContext("2d").getImageData(canvas.width / 2, canvas.height / 2, 1, 1).data;
      const alpha = Number(figure.querySelector(`output[data-background="${canvas.dataset.background}"]`).textContent);
      return ((alpha << 24) | (r << 16) | (g << 8) | b) >>> 0;
    }));
}

// A file given through the page's input for its kind ("ini" or "log"), as a
// person chooses it; resolves once the page shows it by its name.
async function give(page, kind, path, name) {
  const input = await page.$(`input[type="file"][accept=".${kind}"]`);
  await input.uploadFile(path);
  await page.waitForFunction((k, shown) => document.getElementById(`${k}-name`).textContent === shown &&
    !document.getElementById(`${k}-report`).hidden, {}, kind, name);
}

export async function giveIni(page, path, name) {
  await give(page, "ini", path, name);
  return page.$eval("#ini-report", (report) => ({
    notes: [...report.querySelectorAll("#ini-notes li")].map((item) => item.textContent),
    taken: Object.fromEntries([...report.querySelectorAll("tbody tr")].map((row) =>
      [row.dataset.key, row.cells[2].textContent])),
  }));
}

export async function giveLog(page, path, name) {
  await give(page, "log", path, name);
  return page.$eval("#log-report", (report) => ({
    notUnderstood: report.querySelector("#log-not-understood").textContent,
    counts: report.querySelector("#log-blocks").textContent,
    executions: report.querySelector("#log-executions").textContent,
    problems: [...report.querySelectorAll("#log-problems li")].map((item) => item.textContent),
    startup: [...report.querySelectorAll("#log-startup tbody tr")].map((row) => row.cells[0].textContent),
    lines: [...report.querySelectorAll("#log-startup tbody tr")].map((row) => row.cells[1].textContent),
    events: [...report.querySelectorAll("#log-events li")].map((item) => item.textContent),
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

export const hex = (argb) => `0x${argb.toString(16).toUpperCase().padStart(8, "0")}`;
