// The timeline as a modder uses it on long logs: the whole-log view shows a
// thing that one block alone holds, and how many of a column's blocks hold a
// mark where every column holds some; its cells are chosen by keys; the wheel
// scrolls the page unless Shift or Ctrl says otherwise; the events list reaches
// every event and narrows to one map; after any keys, wheel steps and scheme
// switches the picture is what a fresh drawing gives; the owner pressed in the
// legend shows it. The logs are the real plug-in's lines.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import * as LogModel from "../../page/logmodel.js";
import { LABELS, LEFT, ROW, STRIP, TOP, initial, unitOf } from "../../page/timelineview.js";
import { browserSession, chosenShown, giveLog, resized, scratchFolder, timelinePicture, timelinePixels, writeFiles } from "./PageDriver.mjs";
import { readLog, referenceLog } from "./Reference.mjs";
import { seeded } from "./Seeded.mjs";

const session = browserSession();
const sceneLog = referenceLog("../games/scene");
const scene = readFileSync(sceneLog, "latin1").split("\r\n");

/** @typedef {{ width: number, rgba: Uint8Array }} Picture */

/** @param {Picture} a @param {Picture} b @returns the pixels where two pictures differ, as x and y */
function apart(a, b) {
  const found = { xs: new Set(), ys: new Set(), count: 0 };
  for (let i = 0; i < a.rgba.length; i += 4) {
    if (a.rgba[i] === b.rgba[i] && a.rgba[i + 1] === b.rgba[i + 1] && a.rgba[i + 2] === b.rgba[i + 2]) continue;
    found.count++;
    found.xs.add((i / 4) % a.width);
    found.ys.add(Math.floor(i / 4 / a.width));
  }
  return found;
}

test("one block in 20,000 that holds a thing of its own shows in the whole-log view", async () => {
  // The scene's second block, after UpdateRenderMaps: map[00] with no flag, map[01] with resetAfterRender.
  const header = scene.findIndex((line) => line.includes("DamageMapState after_"));
  const [block, map0, map1] = scene.slice(header, header + 3);
  const lineOf = (/** @type {RegExp} */ pattern) => scene.find((line) => pattern.test(line)) ?? assert.fail(`${pattern}`);
  const needsClear = lineOf(/map\[00\].* needsClear$/);
  const inactive = lineOf(/map\[01\].* inactive$/);
  const execution = lineOf(/Execution victim decal/);
  const taken = map0.replace(/owner=\w+/, (/owner=\w+/.exec(map1) ?? assert.fail("map[01]'s owner"))[0]);
  const BLOCKS = 20000;
  const ODD = 7919; // the one block that differs
  const log = (/** @type {(own: string[]) => void} */ odd) => {
    const lines = [];
    const start = Date.UTC(2026, 11, 8, 20);
    for (let b = 0; b < BLOCKS; b++) {
      const stamp = `[${new Date(start + b).toISOString().replace("T", " ").slice(0, 23)}]`;
      const own = [block, map0, map1];
      if (b === ODD) odd(own);
      lines.push(...own.map((line) => `${stamp}${line.slice(25)}`));
    }
    return Buffer.from(`${lines.join("\r\n")}\r\n`, "latin1");
  };
  /** @type {Record<string, (own: string[]) => void>} */
  const kinds = {
    "the same": () => {},
    "an owner taken": (own) => own.splice(1, 1, taken),
    "needsClear": (own) => own.splice(1, 1, needsClear),
    "inactive": (own) => own.splice(2, 1, inactive),
    "an execution decal": (own) => own.unshift(execution),
    "a block cut off": (own) => own.pop(),
  };
  const files = writeFiles(scratchFolder(), Object.values(kinds).map((odd, i) =>
    ({ name: `odd-${i}.log`, bytes: log(odd) })));
  const page = await session.open();
  const pictures = [];
  for (const [i, kind] of Object.keys(kinds).entries()) {
    const shown = await giveLog(page, files[i], `odd-${i}.log`);
    assert.equal(shown.notUnderstood, "0 lines not understood", kind);
    pictures.push(await timelinePixels(page));
  }
  assert.equal(apart(pictures[0], pictures[0]).count, 0);
  for (const [i, kind] of Object.keys(kinds).entries()) {
    if (i === 0) continue;
    const { xs, ys } = apart(pictures[0], pictures[i]);
    assert.ok(xs.size >= 2 && ys.size >= 2, `${kind}: ${xs.size} columns and ${ys.size} lines of pixels changed`);
    const column = [...xs].sort((a, b) => a - b);
    assert.ok(column.at(-1) - column[0] < 8, `${kind}: changed in one place, not across the view (${column})`);
  }
});

test("in the quiet log's whole view, one execution decal, owner change, needsClear or inactive flag is a glyph of 12 pixels or more that a click chooses, light and dark", async () => {
  const quiet = readFileSync(referenceLog("games/page_reference-quiet"), "latin1").split("\r\n");
  const decal = quiet.findIndex((line) => line.includes("] Execution victim decal: "));
  const headers = quiet.flatMap((line, i) => (line.includes("] DamageMapState ") ? [i] : []));
  const blocks = headers.length;
  // The quiet log's needsClear comes and goes every 40 blocks: with it gone, the flag of one block stands alone.
  const calm = quiet.map((line) => line.replace("flags=0x01 needsClear", "flags=0x00"));
  const victim = (/victim=(\w+)/.exec(quiet[decal]) ?? assert.fail("the decal's victim"))[1];
  const page = await session.open();
  await giveLog(page, referenceLog("games/page_reference-quiet"), "Crimsel.log");
  const width = await page.$eval("#timeline", (canvas) => canvas.clientWidth);
  // A block far from the decal whose next block shares its unit: an owner taken there comes back in the next.
  const size = { pixels: width, blocks, rows: 1 };
  const same = (/** @type {number} */ b) => unitOf(initial(size), b).join() === unitOf(initial(size), b + 1).join();
  const odd = [...Array(2000).keys()].map((i) => 5000 + i).find(same) ?? assert.fail("a block sharing its unit");
  /** @param {string[]} lines @param {string} from @param {string} to */
  const changed = (lines, from, to) => lines.map((line, i) => (i === headers[odd] + 1 ? line.replace(from, to) : line));
  const row = /** @type {[number, number]} */ ([TOP, TOP + ROW - 1]);
  const strip = /** @type {[number, number]} */ ([LABELS + 2 * (STRIP + 1), LABELS + 3 * (STRIP + 1) - 1]);
  /** @type {Array<[string, string[], string[], [number, number], number]>} */
  const pairs = [
    ["the execution decal", quiet.filter((_, i) => i !== decal), quiet, strip, blocks - headers.filter((h) => h > decal).length],
    ["an owner taken", calm, changed(calm, "owner=00000000", `owner=${victim}`), row, odd],
    ["needsClear", calm, changed(calm, "flags=0x00", "flags=0x01 needsClear"), row, odd],
    ["inactive", calm, changed(calm, "flags=0x00", "flags=0x04 inactive"), row, odd],
  ];
  const files = writeFiles(scratchFolder(), pairs.flatMap(([, without, withIt], i) => [without, withIt].map((lines, j) =>
    ({ name: `glyph-${i}-${j}.log`, bytes: Buffer.from(lines.join("\r\n"), "latin1") }))));
  for (const scheme of /** @type {const} */ (["light", "dark"])) {
    await session.scheme(page, scheme);
    await page.reload();
    for (const [i, [kind, , , [y0, y1], block]] of pairs.entries()) {
      await giveLog(page, files[2 * i], `glyph-${i}-0.log`);
      const without = await timelinePixels(page);
      await giveLog(page, files[2 * i + 1], `glyph-${i}-1.log`);
      const withIt = await timelinePixels(page);
      // The pixels of the glyph's row or strip that differ, and their box.
      const xs = [];
      const ys = [];
      for (let y = y0; y < y1; y++) {
        for (let x = LEFT; x < withIt.width; x++) {
          const at = 4 * (y * withIt.width + x);
          if ([0, 1, 2].some((c) => without.rgba[at + c] !== withIt.rgba[at + c])) [xs.push(x), ys.push(y)];
        }
      }
      const what = `${scheme}, ${kind} of block ${block + 1}`;
      assert.ok(xs.length >= 12, `${what}: ${xs.length} pixels changed`);
      assert.ok(Math.max(...xs) - Math.min(...xs) < 12, `${what}: in one place, not across the view (${Math.min(...xs)} to ${Math.max(...xs)})`);
      const box = await page.$eval("#timeline", (canvas) => {
        canvas.scrollIntoView({ block: "center" });
        const { left, top } = canvas.getBoundingClientRect();
        return { x: left + canvas.clientLeft, y: top + canvas.clientTop };
      });
      const middle = (/** @type {number[]} */ of) => (Math.min(...of) + Math.max(...of) + 1) / 2;
      await page.mouse.click(box.x + middle(xs), box.y + middle(ys));
      await page.waitForFunction((/** @type {number} */ b) =>
        document.getElementById("block-title")?.textContent?.startsWith(`Block ${b} of`), { timeout: 5000 }, block + 1)
        .catch(async () => assert.fail(`${what}: the click chose ${await page.$eval("#block-title", (t) => t.textContent)}`));
    }
  }
});

test("where every column holds a mark, the whole-log view shows where its blocks hold it often and where rarely", async () => {
  // Three blocks in four of the first half, one in twelve of the second: map[00] needing a clear, map[01] inactive.
  const header = scene.findIndex((line) => line.includes("DamageMapState after_"));
  const [block, map0, map1] = scene.slice(header, header + 3);
  const flagged = [/map\[00\].* needsClear$/, /map\[01\].* inactive$/].map((flag) => scene.find((line) => flag.test(line)) ?? "");
  const BLOCKS = 12000;
  const lines = [...Array(BLOCKS).keys()].flatMap((b) => {
    const stamp = `[${new Date(Date.UTC(2026, 11, 8, 20) + b).toISOString().replace("T", " ").slice(0, 23)}]`;
    const flags = b < BLOCKS / 2 ? b % 4 !== 3 : b % 12 === 0;
    return [block, ...(flags ? flagged : [map0, map1])].map((line) => `${stamp}${line.slice(25)}`);
  });
  const [path] = writeFiles(scratchFolder(), [{ name: "halves.log", bytes: Buffer.from(`${lines.join("\r\n")}\r\n`, "latin1") }]);
  const page = await session.open();
  await giveLog(page, path, "halves.log");
  const { width, rgba } = await timelinePixels(page);
  /** @param {number[]} xs @param {number} y0 @param {number} y1 @param {number[]} colour */
  const count = ([x0, x1], y0, y1, colour) => {
    let found = 0;
    for (let y = y0; y < y1; y++) {
      for (let x = x0; x < x1; x++) found += colour.every((channel, i) => rgba[4 * (y * width + x) + i] === channel) ? 1 : 0;
    }
    return found;
  };
  const middle = Math.round((LEFT + width) / 2);
  const halves = [[LEFT, middle - 4], [middle + 4, width - 2]];
  for (const [x0, x1] of halves) assert.equal(count([x0, x1], TOP, TOP + 1, [17, 17, 17]), x1 - x0, "every column marked");
  // The top band of map[00], a line through the middle of map[01] that no band reaches, and the events' strip.
  /** @type {Array<[number, number, number[]]>} */
  const places = [[TOP, TOP + 8, [17, 17, 17]], [TOP + ROW + 8, TOP + ROW + 9, [17, 17, 17]],
    [LABELS + STRIP + 1, LABELS + 2 * STRIP + 1, [230, 120, 0]]];
  const [often, rarely] = halves.map((xs) => places.map(([y0, y1, colour]) => count(xs, y0, y1, colour)));
  often.forEach((marked, i) => assert.ok(marked > 2 * rarely[i], `${marked} pixels marked where often, ${rarely[i]} where rarely`));
});

test("the keys move a cursor over the timeline and choose a cell, whose block's lines show whole", async () => {
  const page = await session.open();
  await page.setViewport({ width: 1280, height: 900 });
  await giveLog(page, sceneLog, "Crimsel.log");
  await page.focus("#timeline-whole");
  await page.keyboard.press("Tab");
  assert.equal(await page.evaluate(() => document.activeElement?.id), "timeline");
  const chosen = async (/** @type {import("puppeteer-core").KeyInput[]} */ ...keys) => {
    for (const key of keys) await page.keyboard.press(key);
    await chosenShown(page);
    return page.evaluate(() => ({
      title: document.getElementById("block-title")?.textContent ?? "",
      detail: document.getElementById("cell-detail")?.textContent ?? "",
      cursor: document.getElementById("timeline-cursor")?.textContent ?? "",
      lines: [...document.querySelectorAll("#block-lines div")].map((line) => line.textContent),
    }));
  };
  const headers = scene.flatMap((line, i) => (line.includes("] DamageMapState ") ? [i] : []));
  const last = await chosen("End", "ArrowDown", "Enter");
  assert.match(last.title, new RegExp(`^Block ${headers.length} of ${headers.length},`));
  assert.match(last.detail, /^map\[01\]: .*inactive/);
  assert.match(last.cursor, new RegExp(`^Cursor: block ${headers.length} of ${headers.length} .*map\\[01\\]`));
  const lastHeader = headers[headers.length - 1];
  assert.deepEqual(last.lines, scene.slice(lastHeader, lastHeader + 3));
  const second = await chosen("Home", "ArrowRight", "ArrowUp", " ");
  assert.match(second.title, /^Block 2 of /);
  assert.match(second.detail, /^map\[00\]: /);
  // A click on the first block's second map moves the cursor there, and its words with it.
  const clicked = await cellAt(page, headers.length, 0, 1);
  await page.mouse.click(clicked.x, clicked.y);
  await page.waitForFunction(() => document.getElementById("block-title")?.textContent?.startsWith("Block 1 of"));
  await chosenShown(page);
  assert.match(await page.$eval("#timeline-cursor", (words) => words.textContent ?? ""),
    new RegExp(`^Cursor: block 1 of ${headers.length} .*map\\[01\\]`));

  const box = await page.$eval("#block-lines", (lines) => ({ tab: /** @type {HTMLElement} */ (lines).tabIndex, wide: lines.scrollWidth - lines.clientWidth }));
  assert.deepEqual(box, { tab: 0, wide: 0 }, "the lines' box is reached by Tab and needs no sideways scroll");
});

// Where a cell of the whole-log view of so many blocks is on the screen: the middle of its unit and its row.
/** @param {import("puppeteer-core").Page} page @param {number} blocks @param {number} block @param {number} map */
async function cellAt(page, blocks, block, map) {
  await page.$eval("#timeline", (canvas) => canvas.scrollIntoView({ block: "center" }));
  const box = await page.$eval("#timeline", (canvas) => {
    const { left, top } = canvas.getBoundingClientRect();
    return { x: left + canvas.clientLeft, y: top + canvas.clientTop, width: canvas.clientWidth };
  });
  const [left, right] = unitOf(initial({ pixels: box.width, blocks, rows: map + 1 }), block);
  return { x: box.x + (left + right) / 2, y: box.y + TOP + map * ROW + ROW / 2 };
}

/** @param {number[]} rgb @returns {number} the relative luminance of a colour */
const luminance = (rgb) => rgb.map((channel) => channel / 255)
  .map((c) => (c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4))
  .reduce((sum, c, i) => sum + c * [0.2126, 0.7152, 0.0722][i], 0);
/** @param {number[]} a @param {number[]} b */
const contrast = (a, b) => (Math.max(luminance(a), luminance(b)) + 0.05) / (Math.min(luminance(a), luminance(b)) + 0.05);
/** @param {string} css */
const rgbOf = (css) => (css.match(/[\d.]+/g) ?? []).slice(0, 3).map(Number);

test("a plain wheel scrolls the page; Shift and the wheel scroll the timeline, Ctrl and the wheel zoom it", async () => {
  const page = await session.open();
  await page.setViewport({ width: 1280, height: 500 });
  await giveLog(page, referenceLog("games/page_reference-generated"), "Crimsel.log");
  const canvas = await page.$("canvas#timeline");
  await canvas?.scrollIntoView();
  const where = await canvas?.boundingBox();
  assert.ok(where, "the timeline is laid out");
  await page.mouse.move(where.x + where.width / 2, Math.max(0, where.y) + 100);
  const state = async () => ({ scrolled: await page.evaluate(() => window.scrollY), drawn: await timelinePixels(page) });
  const wheel = async (/** @type {number} */ deltaY, /** @type {import("puppeteer-core").KeyInput | ""} */ key = "") => {
    const before = await state();
    if (key) await page.keyboard.down(key);
    await page.mouse.wheel({ deltaY });
    if (key) await page.keyboard.up(key);
    await new Promise((settled) => setTimeout(settled, 300));
    const now = await state();
    return { page: now.scrolled - before.scrolled, timeline: apart(before.drawn, now.drawn).count };
  };
  const zoomed = await wheel(-300, "Control");
  assert.equal(zoomed.page, 0, "Ctrl and the wheel leave the page where it is");
  assert.ok(zoomed.timeline > 0, "Ctrl and the wheel zoom the timeline");
  const sideways = await wheel(300, "Shift");
  assert.equal(sideways.page, 0, "Shift and the wheel leave the page where it is");
  assert.ok(sideways.timeline > 0, "Shift and the wheel scroll the timeline");
  const plain = await wheel(300);
  assert.ok(plain.page > 0, "a plain wheel scrolls the page");
  assert.equal(plain.timeline, 0, "a plain wheel leaves the timeline as it is");
});

test("the events list reaches the last of thousands of events and narrows to one map", async () => {
  const path = referenceLog("games/page_reference-generated");
  const { model } = await readLog(path);
  const e = model.events;
  const perMap = (/** @type {number} */ kind) => kind !== LogModel.MAP_COUNT && kind !== LogModel.RENDERED_COUNT;
  const ofMap = (/** @type {number} */ map) => [...e.kind.keys()].slice(0, e.length).filter((i) => perMap(e.kind[i]) && e.map[i] === map);
  const busiest = [...Array(LogModel.MAX_MAPS).keys()].sort((a, b) => ofMap(b).length - ofMap(a).length)[0];
  assert.ok(e.length >= 1000 && ofMap(busiest).length > 0, `${e.length} events`);

  const page = await session.open();
  await giveLog(page, path, "Crimsel.log");
  const listed = () => page.evaluate(() => ({
    items: [...document.querySelectorAll("#log-events li")].map((item) => item.textContent ?? ""),
    more: document.getElementById("log-events-more")?.textContent ?? "",
  }));
  await page.click("#events-last");
  const last = await listed();
  // Its last entry: the last event's block, or the last execution decal's (after the last block, that block).
  const x = model.executions;
  const lastBlock = Math.max(e.block[e.length - 1], Math.min(x.block[x.length - 1], model.blocks.length - 1));
  assert.match(last.items.at(-1) ?? "", new RegExp(`^block ${lastBlock + 1} `));
  assert.match(last.more, new RegExp(`of ${(e.length + x.length).toLocaleString("en-US")}[,.]`));

  // Choosing a map's name on the timeline, found by clicks down its band of names, narrows the list to that map.
  const name = `map[${String(busiest).padStart(2, "0")}]`;
  const escaped = name.replace(/[[\]]/g, "\\$&");
  assert.ok(await page.evaluate((/** @type {number} */ map) => {
    const canvas = /** @type {HTMLCanvasElement} */ (document.getElementById("timeline"));
    const box = canvas.getBoundingClientRect();
    const select = /** @type {HTMLSelectElement} */ (document.getElementById("events-map"));
    for (let y = 0; y < box.height && select.value !== String(map); y += 2) {
      canvas.dispatchEvent(new MouseEvent("click", { bubbles: true, clientX: box.left + 8, clientY: box.top + y }));
    }
    return select.value === String(map);
  }, busiest), `${name}'s name found`);
  const narrowed = await listed();
  assert.ok(narrowed.items.length > 0 && narrowed.items.every((/** @type {string} */ words) => words.includes(name)), `only ${name}'s events`);
  assert.match(narrowed.more, new RegExp(`(^| of )${ofMap(busiest).length.toLocaleString("en-US")}( events)? of ${escaped}`));

  // Choosing an event marks it and leads to its cell, and the list stays as it was.
  await page.focus("#log-events li:last-child button");
  await page.keyboard.press("Enter");
  await chosenShown(page);
  const chosen = ofMap(busiest)[Math.min(ofMap(busiest).length, narrowed.items.length) - 1];
  assert.deepEqual((await listed()).items, narrowed.items);
  assert.deepEqual(await page.$eval("#log-events li:last-child button", (/** @type {HTMLButtonElement} */ button) =>
    [button.getAttribute("aria-current"), button === document.activeElement]), ["true", true], "marked, with the focus kept");
  assert.match(await page.$eval("#block-title", (/** @type {Element} */ title) => title.textContent), new RegExp(`^Block ${e.block[chosen] + 1} of`));
  assert.match(await page.$eval("#cell-detail", (/** @type {Element} */ detail) => detail.textContent), new RegExp(`^${escaped}`));
});

test("a page opened in the dark scheme draws its timeline on the dark paper from the start", async () => {
  const page = await session.open();
  await session.scheme(page, "dark");
  await page.reload();
  assert.ok(await page.evaluate(() => matchMedia("(prefers-color-scheme: dark)").matches), "the page opened dark");
  await giveLog(page, sceneLog, "Crimsel.log");
  const { width, height, rgba } = await timelinePixels(page);
  const paper = await page.evaluate(() => getComputedStyle(document.documentElement).backgroundColor);
  // The corner of the names' band and the first block's foot, below its last cell: nothing but the paper there.
  for (const i of [0, width * (height - 1) + LEFT + 1]) {
    assert.equal(`rgb(${rgba[4 * i]}, ${rgba[4 * i + 1]}, ${rgba[4 * i + 2]})`, paper, `pixel ${i % width}, ${Math.floor(i / width)}`);
  }
  // The flags' bars along a cell's top and foot stand out against the paper, at 3:1 or more.
  const headers = scene.flatMap((line, i) => (line.includes("] DamageMapState ") ? [i] : []));
  const size = { pixels: width, blocks: headers.length, rows: 2 };
  const pixel = (/** @type {number} */ x, /** @type {number} */ y) => [...rgba.subarray(4 * (y * width + x), 4 * (y * width + x) + 3)];
  let bars = 0;
  for (const [block, header] of headers.entries()) {
    for (const map of [0, 1]) {
      const flags = scene.slice(header + 1).find((line) => line.includes(`  map[0${map}] `)) ?? "";
      const [left, right] = unitOf(initial(size), block);
      const x = Math.floor((left + right) / 2);
      for (const [flag, y] of /** @type {const} */ ([["needsClear", TOP + map * ROW], ["resetAfterRender", TOP + map * ROW + ROW - 2]])) {
        if (!flags.endsWith(flag) && !flags.includes(`${flag} `)) continue;
        bars++;
        const ratio = contrast(pixel(x, y), rgbOf(paper));
        assert.ok(ratio >= 3, `block ${block + 1}, map ${map}: the bar of ${flag} at ${ratio.toFixed(2)}:1 to the paper`);
      }
    }
  }
  assert.ok(bars >= 2, `${bars} bars`);
  // The focus rings of the timeline and the lines' box, against the paper and the canvas's border inside the ring.
  await page.keyboard.press("Tab");
  for (const id of ["timeline", "block-lines"]) {
    await page.focus(`#${id}`);
    const { style, ring, border } = await page.$eval(`#${id}`, (element) => ({
      style: getComputedStyle(element).outlineStyle, ring: getComputedStyle(element).outlineColor,
      border: getComputedStyle(/** @type {Element} */ (document.getElementById("timeline"))).borderTopColor }));
    assert.equal(style, "solid", `#${id} shows its focus ring`);
    for (const [against, colour] of Object.entries({ paper, border })) {
      const ratio = contrast(rgbOf(ring), rgbOf(colour));
      assert.ok(ratio >= 3, `the focus ring of #${id} (${ring}) at ${ratio.toFixed(2)}:1 to the ${against} (${colour})`);
    }
  }
});

const { below } = seeded();

/** @param {import("puppeteer-core").Page} page once the timeline's drawing is whole */
const drawn = (page) => page.evaluate(async () => {
  const canvas = /** @type {HTMLCanvasElement} */ (document.getElementById("timeline"));
  do await new Promise((frame) => requestAnimationFrame(frame)); while (canvas.getAttribute("aria-busy") !== "false");
});

// The page in a scheme once it has been told (its matchMedia's change comes in a frame after the switch).
/** @param {import("puppeteer-core").Page} page @param {"light" | "dark"} scheme */
async function switchScheme(page, scheme) {
  const told = await page.evaluateHandle((/** @type {boolean} */ dark) => {
    const query = matchMedia("(prefers-color-scheme: dark)");
    // In an object: a promise handed back would be awaited before the switch.
    return { told: query.matches === dark || new Promise((done) => query.addEventListener("change", done, { once: true })) };
  }, scheme === "dark");
  await session.scheme(page, scheme);
  await page.bringToFront(); // Firefox draws no frame in a tab behind
  await told.evaluate((waiting) => waiting.told);
}

// The timeline's view drawn afresh: the window made narrower and then as it was, each a size whose picture the
// painter does not hold, leave the view as it was.
/** @param {import("puppeteer-core").Page} page */
async function drawnAfresh(page) {
  const viewport = page.viewport() ?? assert.fail("the page has no viewport");
  for (const width of [viewport.width - 40, viewport.width]) {
    await page.setViewport({ ...viewport, width });
    await resized(page, width);
  }
  return timelinePicture(page);
}

test("after any keys, wheel steps and scheme switches the timeline shows what a fresh drawing of its view shows", async () => {
  const page = await session.open();
  await page.setViewport({ width: 800, height: 700 });
  await giveLog(page, referenceLog("games/page_reference-generated"), "Crimsel.log");
  /** @type {import("puppeteer-core").KeyInput[]} */
  const keys = ["ArrowLeft", "ArrowRight", "ArrowUp", "ArrowDown", "Home", "End", "PageUp", "PageDown", "+", "=", "-"];
  /** @type {string[]} */
  const done = [];
  let [dark, changes, before] = [false, 0, await timelinePicture(page)];
  for (let round = 0; round < 12; round++) {
    await page.$eval("#timeline", (canvas) => canvas.scrollIntoView());
    const box = (await (await page.$("#timeline"))?.boundingBox()) ?? assert.fail("the timeline is not laid out");
    await page.mouse.move(box.x + box.width / 2, Math.max(0, box.y) + 100);
    await page.focus("#timeline");
    for (let steps = 1 + below(4); steps > 0; steps--) {
      const kind = below(8);
      if (kind < 5) {
        const key = keys[below(keys.length)];
        done.push(key);
        await page.keyboard.press(key);
      } else if (kind < 7) {
        const notches = below(8) - 4;
        const [modifier, deltaY] = /** @type {const} */ ([below(2) ? "Shift" : "Control", 60 * (notches < 0 ? notches : notches + 1)]);
        done.push(`${modifier} and the wheel by ${deltaY}`);
        const seen = await page.evaluateHandle(() => ({ seen: new Promise((wheeled) => addEventListener("wheel", wheeled, { once: true, capture: true })) }));
        await page.keyboard.down(modifier);
        await page.mouse.wheel({ deltaY });
        // A browser may hand the wheel to the page after the call returns: the next key must not come first.
        await seen.evaluate((waiting) => waiting.seen);
        await page.keyboard.up(modifier);
      } else {
        dark = !dark;
        done.push(dark ? "dark" : "light");
        await switchScheme(page, dark ? "dark" : "light");
      }
      if (below(4) > 0) await drawn(page); // else the next step comes before the drawing is whole
    }
    const kept = await timelinePicture(page);
    changes += kept === before ? 0 : 1;
    before = kept;
    assert.equal(kept, await drawnAfresh(page), `the picture after ${done.join(", ")}`);
  }
  assert.ok(changes >= 6, `the picture changed in ${changes} rounds of 12`);
});

// A browser with no canvas to hand to a worker: the page draws on its own thread.
/** @param {import("puppeteer-core").Page} page */
const withoutOffscreen = (page) => page.evaluateOnNewDocument(() => {
  Reflect.deleteProperty(HTMLCanvasElement.prototype, "transferControlToOffscreen");
});

test("the timeline is drawn in the worker that read the log, and where it cannot be, the page draws the same", async () => {
  /** @type {import("puppeteer-core").KeyInput[]} */
  const keys = ["End", "+", "+", "ArrowLeft", "ArrowUp", "Home", "-", "PageDown", "ArrowDown", "ArrowDown"];
  const journey = async (/** @type {import("puppeteer-core").Page} */ page) => {
    await page.setViewport({ width: 900, height: 700 });
    await giveLog(page, referenceLog("games/page_reference-generated"), "Crimsel.log");
    await page.focus("#timeline");
    const pictures = [await timelinePicture(page)];
    for (const [i, key] of keys.entries()) {
      await page.keyboard.press(key);
      if (i % 3 === 2 || i === keys.length - 1) pictures.push(await timelinePicture(page));
    }
    await switchScheme(page, "dark");
    pictures.push(await timelinePicture(page));
    await switchScheme(page, "light");
    return { pictures, handedOver: await page.$eval("#timeline", (canvas) => {
      try {
        return /** @type {HTMLCanvasElement} */ (canvas).getContext("2d") === null;
      } catch {
        return true; // a canvas handed to a worker gives the page no context
      }
    }) };
  };
  const inWorker = await journey(await session.open());
  const onPage = await journey(await session.open("", withoutOffscreen));
  assert.deepEqual([inWorker.handedOver, onPage.handedOver], [true, false], "where it is drawn");
  assert.equal(new Set(inWorker.pictures).size, inWorker.pictures.length, "each step shows something else");
  assert.deepEqual(onPage.pictures, inWorker.pictures, "the page's drawing and the worker's, pixel for pixel");
});

test("the owner pressed in the legend says it is pressed and looks it, in the light and the dark scheme", async () => {
  const page = await session.open();
  await giveLog(page, referenceLog("games/page_reference-generated"), "Crimsel.log");
  await page.waitForSelector("#timeline-owners .owner:nth-child(3)");
  const chosen = await page.$eval("#timeline-owners .owner:nth-child(3)", (button) => button.textContent?.replace(/ \(.*/, ""));
  await page.focus("#timeline-owners .owner:nth-child(3)");
  await page.keyboard.press("Enter");
  await drawn(page);
  assert.equal(await page.evaluate(() => document.activeElement?.textContent?.replace(/ \(.*/, "")), chosen,
    "the focus stays on the owner pressed");
  await page.evaluate(() => /** @type {HTMLElement} */ (document.activeElement).blur()); // no focus ring to tell it
  for (const scheme of /** @type {const} */ (["light", "dark"])) {
    await switchScheme(page, scheme);
    const owners = await page.$$eval("#timeline-owners .owner", (buttons) => buttons.map((button) => {
      const style = getComputedStyle(button);
      return { name: button.textContent?.replace(/ \(.*/, ""), pressed: button.getAttribute("aria-pressed"),
        look: ["border-top-color", "box-shadow", "background-color", "color", "font-weight", "outline-style",
          "text-decoration-line"].map((property) => style.getPropertyValue(property)).join(" ") };
    }));
    const pressed = owners.filter((owner) => owner.pressed === "true");
    assert.deepEqual(pressed.map((owner) => owner.name), [chosen], `${scheme}: the owner pressed, and no other`);
    for (const other of owners.filter((owner) => owner.pressed !== "true")) {
      assert.equal(other.pressed, "false", `${scheme}: ${other.name} says it is not pressed`);
      assert.notEqual(other.look, pressed[0].look, `${scheme}: ${other.name} looks like the owner pressed`);
    }
  }
});
