// The README's picture of the players' page, at the default colours, taken in
// Debian's Chromium. A picture for people: fonts differ between machines, so
// no test compares it.
// Usage: node Screenshot.mjs <packed page> <picture.png>
import { pathToFileURL } from "node:url";
import puppeteer from "puppeteer-core";

const [pageHtml, picture] = process.argv.slice(2);
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
} finally {
  await browser.close();
}
