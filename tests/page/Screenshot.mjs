// The README's pictures of the players' page, taken in Debian's Chromium: the
// page at the default colours, and its log part on a log. Pictures for people:
// fonts differ between machines, so no test compares them; on one machine the
// same build gives the same pictures, so that drawing them again leaves the
// work tree as it was.
// Usage: node Screenshot.mjs <packed page> <picture.png> [<Crimsel.log> <log picture.png> <dark picture.png>
//        <phone picture.png>]: the dark picture is the log part again in the dark scheme, the phone picture the
//        top of the page in a window 390 pixels wide.
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import puppeteer from "puppeteer-core";

const [pageHtml, picture, log, logPicture, darkPicture, phonePicture] = process.argv.slice(2);

// A log's lines with their time stamps, which differ from run to run, replaced
// by a fixed sequence a millisecond apart; the rest of each line as it stands.
/** @template {Element} [E=Element] @typedef {import("puppeteer-core").ElementHandle<E>} ElementHandle */

/** @param {Buffer} bytes */
function fixedStamps(bytes) {
  const start = Date.UTC(2026, 0, 1, 12);
  return bytes.toString("latin1").split("\r\n").map((line, i) =>
    line.replace(/^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\]/, () =>
      `[${new Date(start + i).toISOString().replace("T", " ").slice(0, 23)}]`)).join("\r\n");
}

const folder = mkdtempSync(join(tmpdir(), "crimsel-screenshot-"));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--force-color-profile=srgb", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1040, height: 800 });
  await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "light" }]);
  await page.goto(pathToFileURL(pageHtml).href);
  await page.screenshot({ path: picture, fullPage: true });
  if (log) {
    const copy = join(folder, "Crimsel.log");
    writeFileSync(copy, fixedStamps(readFileSync(log)), "latin1");
    await (/** @type {ElementHandle<HTMLInputElement>} */ (await page.$('input[type="file"][accept=".log"]'))).uploadFile(copy);
    const drawn = () => page.waitForFunction(() => document.getElementById("log-name")?.textContent !== "" &&
      document.getElementById("timeline")?.getAttribute("aria-busy") === "false");
    await drawn();
    // A cell of the first block chosen, as a player would, to show its lines.
    await (/** @type {ElementHandle} */ (await page.$("#timeline"))).click({ offset: { x: 90, y: 64 } });
    await page.waitForFunction(() => document.querySelector("#block-lines .selected") !== null &&
      document.getElementById("block-view")?.getAttribute("aria-busy") === "false");
    await drawn();
    await (/** @type {ElementHandle} */ (await page.$("#log"))).screenshot({ path: logPicture });
    if (darkPicture) {
      await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "dark" }]);
      await drawn();
      await (/** @type {ElementHandle} */ (await page.$("#log"))).screenshot({ path: darkPicture });
    }
  }
  if (phonePicture) {
    const phone = await browser.newPage();
    await phone.setViewport({ width: 390, height: 844 });
    await phone.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "light" }]);
    await phone.goto(pathToFileURL(pageHtml).href);
    await phone.screenshot({ path: phonePicture });
  }
} finally {
  await browser.close();
  rmSync(folder, { recursive: true, force: true });
}
