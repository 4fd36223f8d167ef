// A log that the game is still writing, kept open beside it: chosen through the
// browser's picker (Chromium), the page looks at it again by itself and shows
// the blocks added, and reads a log begun afresh from its start, saying so;
// chosen again through "Read it again" (both browsers), it reads on from where
// it stopped, the block chosen still shown.
import assert from "node:assert/strict";
import { appendFileSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { test } from "node:test";
import { browserSession, chosenShown, giveLog, scratchFolder } from "./PageDriver.mjs";
import { headerLine, mapLine, stampAt } from "./LogLines.mjs";
import { newLogWords } from "../../page/readingwords.js";

const session = browserSession();
const chromium = (process.env.CRIMSEL_BROWSER ?? "chromium") === "chromium";

/**
 * Blocks of two maps, each a block apart in time from the first given on; map 1 changes its owner every tenth.
 * @param {number} first @param {number} count @param {number} [start] the first block's time, in milliseconds
 */
function blocks(first, count, start = 0) {
  let text = "";
  for (let block = first; block < first + count; block++) {
    const stamp = stampAt(start + block * 50);
    text += `${stamp}${headerLine(2, 2, block)}\r\n`;
    for (let map = 0; map < 2; map++) {
      const owner = map === 1 && block % 10 === 0 ? 0x2000000 + block : 0x1000000 + map;
      text += `${stamp}${mapLine(map, { slot: map, owner, decals: 3, rendered: 1, flags: 0 })}\r\n`;
    }
  }
  return text;
}

/** @param {import("puppeteer-core").Page} page @param {string} words the block count's */
const blocksShown = (page, words) => page.waitForFunction((wanted) =>
  document.getElementById("log-blocks")?.textContent?.startsWith(wanted), { timeout: 10000 }, words);

test("a log chosen through the picker is followed as it grows, and a new log is read from its start",
  { skip: !chromium && "only Chromium gives a page a handle to a chosen file" }, async () => {
    const path = join(scratchFolder(), "Crimsel.log");
    writeFileSync(path, `not a line of the plug-in's\r\n${blocks(0, 200)}`);
    const page = await session.open("", async (opened) => {
      // The picker's handle gives the file as it is at each look, as the browser's does.
      await opened.exposeFunction("crimselLog", () => readFileSync(path).toString("base64"));
      await opened.evaluateOnNewDocument(() => {
        const handle = {
          kind: "file", name: "Crimsel.log",
          getFile: async () => new File([Uint8Array.from(atob(await /** @type {any} */ (window).crimselLog()),
            (c) => c.charCodeAt(0))], "Crimsel.log", { lastModified: Date.now() }),
        };
        Object.assign(window, { showOpenFilePicker: async () => [handle] });
      });
    });
    await page.click("#log-file");
    await blocksShown(page, "200 blocks");
    assert.equal(await page.$eval("#log-follow", (button) => button.getAttribute("aria-pressed")), "true");
    await page.click("#log-show-unknown");
    const unknown = () => page.$eval("#log-unknown", (lines) => (/** @type {HTMLElement} */ (lines).hidden ? "hidden"
      : lines.textContent));
    await page.waitForFunction(() => document.getElementById("log-unknown")?.hidden === false);
    await page.focus("#log-events li:nth-child(2) button");
    appendFileSync(path, blocks(200, 100));
    await blocksShown(page, "300 blocks");
    assert.equal(await unknown(), "not a line of the plug-in's", "the lines not understood, shown, stay shown");
    assert.ok(await page.$eval("#log-events li:nth-child(2) button", (button) => button === document.activeElement),
      "the event with the focus keeps it as the list grows");
    assert.match(await page.$eval("#log-following", (words) => words.textContent ?? ""), /300 blocks/);

    // Not followed, the log grows unseen; followed again, it is caught up.
    await page.click("#log-follow");
    appendFileSync(path, blocks(300, 20));
    await new Promise((resolve) => setTimeout(resolve, 2500));
    assert.match(await page.$eval("#log-blocks", (words) => words.textContent ?? ""), /^300 blocks/);
    await page.click("#log-follow");
    await blocksShown(page, "320 blocks");

    // The game started again: a shorter log, of other times.
    writeFileSync(path, blocks(0, 50, 3600000));
    await blocksShown(page, "50 blocks");
    assert.equal(await page.$eval("#log-status", (status) => status.textContent), newLogWords("Crimsel.log"));

    // Again, and the page looked before the first block: the blocks that come then get their timeline.
    writeFileSync(path, `${stampAt(7200000)}Logger initialized\r\n`);
    await page.waitForFunction(() => document.getElementById("log-timeline-part")?.hidden === true);
    appendFileSync(path, blocks(0, 30, 7200000));
    await blocksShown(page, "30 blocks");
    await page.waitForFunction(() => document.getElementById("log-timeline-part")?.hidden === false &&
      document.getElementById("timeline")?.getAttribute("aria-busy") === "false", { timeout: 10000 });
  });

test("the log chosen again after it grew is read on from where it stopped, the chosen block still shown",
  async () => {
    const path = join(scratchFolder(), "Crimsel.log");
    writeFileSync(path, blocks(0, 200));
    const page = await session.open();
    const shown = await giveLog(page, path, "Crimsel.log");
    assert.match(shown.counts ?? "", /^200 blocks/);
    await page.click("#log-events li:nth-child(2) button");
    await chosenShown(page);
    const chosen = await page.$eval("#block-lines", (lines) => lines.textContent);
    appendFileSync(path, blocks(200, 100));
    const [chooser] = await Promise.all([page.waitForFileChooser(), page.click("#log-again")]);
    await chooser.accept([path]);
    await blocksShown(page, "300 blocks");
    assert.equal(await page.$eval("#block-lines", (lines) => lines.textContent), chosen, "the chosen block kept");
    assert.ok(await page.$eval("#log-events-more", (words) => /\d/.test(words.textContent ?? "")));

    // A file of other first bytes is a new log, read whole.
    writeFileSync(path, blocks(0, 40, 3600000));
    const [again] = await Promise.all([page.waitForFileChooser(), page.click("#log-again")]);
    await again.accept([path]);
    await blocksShown(page, "40 blocks");
  });
