// The README's pictures of the players' page, taken in Debian's Chromium: the
// page at the default colours, and its log part on a log. Pictures for people:
// fonts differ between machines, so no test compares them.
// Usage: node Screenshot.mjs <packed page> <picture.png> [<Crimsel.log> <log picture.png>]
import { pathToFileURL } from "node:url";
import puppeteer from "puppeteer-core";

const [pageHtml, picture, log, logPicture] = process.argv.slice(2);
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
    await (await page.$('input[type="file"][accept=".log"]')).uploadFile(log);
    await page.waitForFunction(() => !document.getElementById("log-report").hidden);
    // A cell of the first block chosen, as a player would, to show its lines.
    await (await page.$("#timeline")).click({ offset: { x: 60, y: 45 } });
    await page.waitForFunction(() => document.querySelector("#block-lines .selected") !== null);
    await (await page.$("#log")).screenshot({ path: logPicture });
  }
} finally {
  await browser.close();
}
