// Logs that the real plug-in wrote in this run, given to the page's log input
// or dropped onto the page: what the page must say of each start-up, how many
// blocks and maps its timeline holds and which events it lists, and what the
// timeline draws; every log of the run understood whole; bad input answered
// with a clear message, and text from a log shown as text only.
import assert from "node:assert/strict";
import { readFileSync, readdirSync, statSync, truncateSync } from "node:fs";
import { dirname, join } from "node:path";
import { test } from "node:test";
import {
  browserSession, chosenShown, giveIni, giveLog, referenceProgram, resized, scratchFolder, timelinePixels, writeFiles,
} from "./PageDriver.mjs";
import { referenceLog } from "./Reference.mjs";
import { EXECUTIONS_PAGE } from "../../page/executionpages.js";
import { count } from "../../page/logwords.js";
import { stoppedWords } from "../../page/readingwords.js";
import { LABELS, LEFT } from "../../page/timelineview.js";

assert.ok(referenceProgram, "CRIMSEL_PAGE_REFERENCE names the reference program");
const bin = dirname(dirname(referenceProgram));
const [oversized, stopped] = readFileSync(join(bin, "pagetests/reference-logs.jsonl"), "utf8").trim().split("\n")
  .map((line) => JSON.parse(line).folder.replace(/^Z:/, ""));

// What the page says of a log without diagnostics blocks: how to have them where its settings had them off, why
// there are none where they were on, and nothing more for a file that is no log.
const NO_BLOCKS = "no damage-map blocks (for the timeline, set LogDamageMapDiagnostics=1, with EnableLogging=1, " +
  "under [Logging] in Vorlaine.Crimsel.ini)";
const NOT_THIS_GAME = "no damage-map blocks: this is not the version of the game that the plug-in is made for, so " +
  "it installed nothing (see the start-up above)";
const NO_PLAY = "no damage-map blocks: the damage-map diagnostics were installed, but the game did not get to its " +
  "damage maps before the log ended (it may have been closed before play began)";
const NO_LOG = "no damage-map blocks";

// A log, what the start-up part must say, the timeline's counts and its events.
const LOGS = [
  {
    log: "games/scene/Crimsel.log", counts: "4 blocks, 2 maps", executions: "9 execution decals", dropped: true,
    startup: ["The decal colour patch is installed: decals are drawn in 200/10/40 with alpha 255",
      "The execution blood decal fix is installed", "The damage-map diagnostics are installed",
      "The stale damage-map fix is installed", "Interactive executions are on"],
    events: ["renderedCount 1 to 2", "map[00]: needsClear raised", "map[01] went inactive"],
  },
  {
    log: "games/scene-another-build/Crimsel.log", counts: NOT_THIS_GAME,
    startup: ["not the version of the game that the plug-in is made for (call at 0x005AD857 leads to 0x0059A1B0"],
  },
  {
    log: "games/scene-another-plugin/Crimsel.log", counts: NO_PLAY,
    startup: ["The decal colour and opacity patch (PatchBloodDecalColorAndAlpha) is not installed: another plug-in " +
      "(PeerHooks.dll) put a jump", "The stale damage-map fix (FixStaleDamageMapDecals) is not installed: another " +
      "plug-in (PeerHooks.dll) put a call"],
  },
  {
    log: "games/CallSiteTest.AHookPutOverOursAfterTheFirstStartIsLeftAsItIs/Crimsel.log", counts: "1 block, 0 maps",
    startup: ["The execution blood decal fix (FixExecutionBloodDecals): another plug-in (PeerHooks.dll) put its own " +
      "hook over this plug-in's"],
  },
  {
    log: "games/PluginTest.AnIniLeftPartlyAsItIsIsNamedInTheLogAfterTheSettings/Crimsel.log",
    startup: ["Vorlaine.Crimsel.ini is UTF-16 text: only the settings it lacked were added"],
  },
  {
    log: "games/DamageMapDiagnosticsTest.MapCountZeroLogsTheHeaderAloneAndAbove64OnlyTheFirst64/Crimsel.log",
    counts: "2 blocks, 64 maps", events: ["mapCount 0 to 100"],
  },
  {
    log: "patchtests/Crimsel.log",
    startup: ["5 bytes of the game's code at 0x", "2 bytes of the game's code at 0x"],
  },
  {
    log: join(oversized, "Crimsel.log"),
    startup: ["did not complete Vorlaine.Crimsel.ini (1048577 bytes, more than the 1048576 this plug-in completes"],
  },
  {
    log: join(stopped, "Crimsel.log"), startup: ["The execution blood decal fix (FixExecutionBloodDecals) is not " +
      "installed: the plug-in's start-up stopped", "The plug-in's start-up stopped on an error (std::bad_alloc)"],
  },
];

const session = browserSession();
/**
 * @param {string[]} list
 * @param {string} expected
 */
const found = (list, expected) => list.some((item) => item.includes(expected));
/**
 * The number that a pattern's first group finds in a text.
 * @param {RegExp} pattern
 * @param {string} text
 */
function numberIn(pattern, text) {
  const match = pattern.exec(text);
  assert.ok(match, `${pattern} in "${text}"`);
  return Number(match[1]);
}

// The page buttons under the events list show exactly when the words under it name more than one page.
/** @param {import("puppeteer-core").Page} page @param {string} name */
async function eventPagesAgree(page, name) {
  const [named, shown] = await page.evaluate(() => [
    !document.getElementById("log-events-more")?.closest("[hidden]") &&
      /page \d/.test(document.getElementById("log-events-more")?.textContent ?? ""),
    !document.getElementById("events-pages")?.closest("[hidden]")]);
  assert.equal(shown, named, `${name}: the events list's page buttons show exactly when it has pages`);
}

test("each log's start-up in words beside its lines, its blocks, maps and events", async () => {
  const page = await session.open();
  for (const entry of LOGS) {
    const path = entry.log.startsWith("/") ? entry.log : join(bin, entry.log);
    const shown = await giveLog(page, path, "Crimsel.log", entry.dropped);
    const name = entry.log.split("/").slice(-2, -1)[0];
    if (entry.dropped) {
      // Dropped onto the page as it opened, far above the log's part: its report comes into view with the focus.
      assert.ok(await page.$eval("#log-summary", (summary) => summary === document.activeElement &&
        summary.getBoundingClientRect().top >= 0 && summary.getBoundingClientRect().bottom <= innerHeight),
      `${name}: dropped, its report is in view and has the focus`);
    }
    assert.equal(shown.notUnderstood, "0 lines not understood", name);
    assert.deepEqual(shown.problems, [], name);
    const lines = readFileSync(path, "latin1").split("\r\n");
    assert.ok(shown.lines.every((/** @type {string} */ line) => lines.includes(line)), `${name}: each sentence beside its line`);
    for (const words of entry.startup || []) assert.ok(found(shown.startup, words), `${name}: "${words}"`);
    if (entry.counts) assert.equal(shown.counts, entry.counts, name);
    if (entry.executions) assert.equal(shown.executions, entry.executions, name);
    for (const words of entry.events || []) assert.ok(found(shown.events, words), `${name}: event "${words}"`);
    await eventPagesAgree(page, name);
  }
});

test("an event leads to its block, whose lines show as they stand in the log", async () => {
  const path = join(bin, "games/scene/Crimsel.log");
  const page = await session.open();
  const shown = await giveLog(page, path, "Crimsel.log");
  const event = shown.events.findIndex((/** @type {string} */ words) => words.includes("needsClear raised"));
  await page.click(`#log-events li:nth-child(${event + 1}) button`);
  await chosenShown(page);
  const block = numberIn(/^block (\d+)/, shown.events[event]);
  const lines = readFileSync(path, "latin1").split("\r\n");
  const header = lines.filter((line) => line.includes("] DamageMapState "))[block - 1];
  const count = numberIn(/mapCount=(\d+)/, header);
  const start = lines.indexOf(header);
  const own = lines.slice(start, start + 1 + count);
  assert.deepEqual(await page.$$eval("#block-lines div", (/** @type {HTMLDivElement[]} */ shownLines) =>
    shownLines.map((line) => line.textContent)), own);
  assert.equal(await page.$eval("#block-lines .selected", (/** @type {Element} */ line) => line.textContent),
    own.find((line) => line.includes("  map[00] ")));
  assert.match(await page.$eval("#cell-detail", (/** @type {Element} */ detail) => detail.textContent),
    /^map\[00\]: .*\(needsClear\)/);
});

// Tab (or Shift+Tab, with Shift held) until the focus is on an element that
// the selector finds and that holds the words.
/** @param {import("puppeteer-core").Page} page @param {string} selector */
async function tabTo(page, selector, words = "") {
  const focused = () => page.evaluate((wanted, holding) => (document.activeElement?.matches(wanted) ?? false) &&
    !!document.activeElement?.textContent?.includes(holding), selector, words);
  for (let i = 0; i < 400 && !(await focused()); i++) await page.keyboard.press("Tab");
  assert.ok(await focused(), `Tab to ${selector} "${words}"`);
}

// With the keyboard alone: Tab to the events list's pages, turn them to the one
// execution decal of 20,000 quiet blocks, Shift+Tab back to it and choose it.
test("the one execution decal of a long quiet log is reached from the events list with the keyboard", async () => {
  const path = referenceLog("games/page_reference-quiet");
  const lines = readFileSync(path, "latin1").split("\r\n");
  const block = lines.slice(0, lines.findIndex((line) => line.includes("] Execution "))).filter((line) =>
    line.includes("] DamageMapState ")).length + 1;
  const page = await session.open();
  await giveLog(page, path, "Crimsel.log");
  await eventPagesAgree(page, "the quiet log");
  await tabTo(page, "#events-map");
  await tabTo(page, "#events-next");
  for (let i = 0; i < 10 && !(await page.$eval("#log-events", (list) => list.textContent?.includes("victim decal"))); i++) {
    await page.keyboard.press("Enter");
  }
  await page.keyboard.down("Shift");
  await tabTo(page, "#log-events button", "victim decal");
  await page.keyboard.up("Shift");
  await page.keyboard.press("Enter");
  // Its block chosen on the timeline, and the decal in words read from its line.
  const words = `^block ${block} \\(.+\\): before it, at \\d\\d:\\d\\d:\\d\\d\\.\\d{3}, victim decal 0/1 of execution `;
  await page.waitForFunction((/** @type {string} */ title, /** @type {string} */ pattern) =>
    document.getElementById("block-title")?.textContent?.startsWith(title) &&
    new RegExp(pattern).test(document.activeElement?.textContent ?? ""), { timeout: 5000 }, `Block ${block} of 20000,`,
  words).catch(() => assert.fail(`block ${block} not chosen, or the decal not in words`));
});

// The timeline as drawn (its pixels' RGB, row by row) and as the page says it
// lies when a person clicks it: the span of each block's column and each map's
// row, found by clicks along one line each (as the block's title and the cell's
// detail name them), and each cell's detail; the legend's colour of each owner
// and the words that name the strips' colours.
/** @param {import("puppeteer-core").Page} page */
async function timelinePicture(page) {
  const { width, rgba } = await timelinePixels(page);
  const picture = await page.evaluate(async () => {
    const canvas = /** @type {HTMLCanvasElement} */ (document.getElementById("timeline"));
    // The drawing's pixels, as many as the screen's that it shows on.
    const [width, height] = [canvas.clientWidth, canvas.clientHeight].map((size) => Math.round(size * devicePixelRatio));
    const title = /** @type {HTMLElement} */ (document.getElementById("block-title"));
    const detail = /** @type {HTMLElement} */ (document.getElementById("cell-detail"));
    const box = canvas.getBoundingClientRect();
    const view = /** @type {HTMLElement} */ (document.getElementById("block-view"));
    const turn = () => new Promise((go) => {
      const channel = new MessageChannel();
      channel.port1.onmessage = go;
      channel.port2.postMessage(null);
    });
    // A click answered: with a cell, once its block's words are in; with none, once the timeline is no longer busy.
    const answered = () => (title.textContent === "" ? canvas.getAttribute("aria-busy") === "false"
      : view.getAttribute("aria-busy") === "false");
    /** @param {number} x @param {number} y */
    const click = async (x, y) => {
      title.textContent = "";
      canvas.dispatchEvent(new MouseEvent("click", { bubbles: true,
        clientX: box.left + canvas.clientLeft + ((x + 0.5) * canvas.clientWidth) / width,
        clientY: box.top + canvas.clientTop + ((y + 0.5) * canvas.clientHeight) / height }));
      while (!answered()) await turn();
      return title.textContent === "" ? null : { block: Number(/^Block (\d+)/.exec(title.textContent)?.[1]) - 1,
        map: Number(/^map\[(\d+)\]/.exec(detail.textContent ?? "")?.[1]), detail: detail.textContent ?? "" };
    };
    /**
     * @param {(at: number) => Promise<{ block: number, map: number } | null>} along
     * @param {number} length
     * @param {"block" | "map"} key
     */
    const spans = async (along, length, key) => {
      /** @type {Array<[number, number]>} */
      const found = [];
      for (let at = 0; at < length; at++) {
        const cell = await along(at);
        if (cell) found[cell[key]] = [Math.min(found[cell[key]]?.[0] ?? at, at), at];
      }
      return found;
    };
    // The rows from the foot up, as far as a click answers: the strips above them answer with the cursor's map.
    /** @type {{ x: number, y: number } | null} */
    let first = null;
    for (let y = height - 1; y >= 0 && !first; y--) {
      for (let x = 0; x < width && !first; x += 4) first = (await click(x, y)) && { x, y };
    }
    if (!first) throw new Error("no cell of the timeline answers a click");
    const foot = first.y;
    const columns = await spans((x) => click(x, foot), width, "block");
    const middle = Math.floor((columns[0][0] + columns[0][1]) / 2);
    let top = foot;
    while (top > 0 && (await click(middle, top - 1))) top--;
    const rows = await spans(async (y) => (y < top ? null : click(middle, y)), height, "map");
    const cells = [];
    for (const [left, right] of columns) {
      const column = [];
      for (const [rowTop, bottom] of rows) {
        column.push((await click(Math.floor((left + right) / 2), Math.floor((rowTop + bottom) / 2)))?.detail ?? "");
      }
      cells.push(column);
    }
    const owners = Object.fromEntries([...document.querySelectorAll("#timeline-legend .owner")].map((item) =>
      [item.textContent?.split(" ")[0],
        getComputedStyle(/** @type {Element} */ (item.querySelector(".swatch"))).backgroundColor]));
    return { columns, rows, cells, owners, about: document.querySelector("#log-timeline-part p")?.textContent ?? "" };
  });
  return { ...picture, at: (/** @type {number} */ x, /** @type {number} */ y) => rgba.readUIntBE((y * width + x) * 4, 3) };
}

/** @param {string} css */
const rgbOf = (css) => (css.match(/\d+/g) ?? []).slice(0, 3).reduce((word, channel) => (word << 8) | Number(channel), 0);
/** @param {number} rgb */
const channels = (rgb) => [rgb >> 16, (rgb >> 8) & 255, rgb & 255];
// The colours that the page's words name, by hue, among clearly coloured pixels.
/** @type {Record<string, [number, number]>} */
const HUES = {
  red: [345, 15], orange: [15, 45], yellow: [45, 70], green: [70, 165], blue: [165, 260], purple: [260, 345],
};
/**
 * @param {number} rgb
 * @param {string} name
 */
function named(rgb, name) {
  const [r, g, b] = channels(rgb);
  const [max, min] = [Math.max(r, g, b), Math.min(r, g, b)];
  if (max < 64 || (max - min) / max < 0.5) return false;
  const sector = max === r ? (g - b) / (max - min) : max === g ? 2 + (b - r) / (max - min) : 4 + (r - g) / (max - min);
  const hue = (sector * 60 + 360) % 360;
  const [from, to] = HUES[name];
  return from < to ? hue >= from && hue < to : hue >= from || hue < to;
}
/** @param {number[]} list */
const sorted = (list) => [...new Set(list)].sort((a, b) => a - b);
// The points strictly inside a span: its edges are where the page's hit test
// and its drawing may round apart.
const inside = (/** @type {[number, number]} */ [from, to]) => Array.from({ length: Math.max(0, to - from - 1) }, (_, i) => from + 1 + i);
/** @param {number[]} list */
const mostCommon = (list) => {
  /** @type {Map<number, number>} */
  const counts = new Map();
  for (const item of list) counts.set(item, (counts.get(item) || 0) + 1);
  return [...counts].sort((a, b) => b[1] - a[1])[0][0];
};

test("the timeline draws one row per map in its owner's colour, and each strip only its own marks", async () => {
  // The scene's log with its execution decals before the first block, before
  // the third and after the last.
  const lines = readFileSync(join(bin, "games/scene/Crimsel.log"), "latin1").split("\r\n");
  const isExecution = (/** @type {string} */ line) => line.includes("] Execution ");
  const isHeader = (/** @type {string} */ line) => line.includes("] DamageMapState ");
  const executions = lines.filter(isExecution);
  const rest = lines.filter((line) => !isExecution(line));
  const headers = rest.flatMap((line, i) => (isHeader(line) ? [i] : []));
  const arranged = [...rest.slice(0, headers[0]), ...executions.slice(0, 4), ...rest.slice(headers[0], headers[2]),
    ...executions.slice(4, 8), ...rest.slice(headers[2], -1), executions[8], ""];
  const [path] = writeFiles(scratchFolder(),
    [{ name: "Crimsel.log", bytes: Buffer.from(arranged.join("\r\n"), "latin1") }]);
  const page = await session.open();
  const shown = await giveLog(page, path, "Crimsel.log");
  assert.deepEqual([shown.counts, shown.executions], ["4 blocks, 2 maps", "9 execution decals"]);
  const [blocks, maps] = ((shown.counts ?? "").match(/\d+/g) ?? []).map(Number);
  const { at, columns, rows, cells, owners, about } = await timelinePicture(page);

  assert.deepEqual(Object.keys(rows).map(Number), [...Array(maps).keys()], "a row per map");
  assert.deepEqual(Object.keys(columns).map(Number), [...Array(blocks).keys()], "a column per block");
  // Each cell in its owner's colour; its flags as black marks: a bar along its top, one along its foot, stripes.
  const dark = (/** @type {number} */ rgb) => channels(rgb).every((channel) => channel < 48);
  cells.forEach((column, block) => column.forEach((words, map) => {
    const xs = inside(columns[block]);
    const ys = inside(rows[map]);
    const drawn = mostCommon(xs.flatMap((x) => ys.map((y) => at(x, y))));
    const owner = rgbOf(owners[/owner ([0-9A-F]{8})/.exec(words)?.[1] ?? ""]);
    assert.equal(drawn, owner, `block ${block + 1}, ${words}: drawn in its owner's colour`);
    const marks = {
      needsClear: xs.every((x) => dark(at(x, ys[0]))),
      resetAfterRender: xs.every((x) => dark(at(x, ys[ys.length - 1]))),
      inactive: xs.slice(-Math.floor(xs.length / 4)).some((x) => ys.slice(3, -3).some((y) => dark(at(x, y)))),
    };
    for (const [flag, marked] of Object.entries(marks)) {
      assert.equal(marked, words.includes(flag), `block ${block + 1}, ${words}: the mark of ${flag}`);
    }
  }));

  // Above the rows: the blocks and the lines of the picture where each strip's colour shows.
  const strip = (/** @type {string} */ colour) => {
    const marked = columns.map((span) => inside(span).flatMap((x) =>
      [...Array(rows[0][0]).keys()].filter((y) => named(at(x, y), colour))));
    return { blocks: marked.flatMap((ys, block) => (ys.length > 0 ? [block] : [])), lines: new Set(marked.flat()) };
  };
  const blockOf = (/** @type {number} */ i) => arranged.slice(0, i).filter(isHeader).length;
  const expected = {
    // The events list's own events, without the decals and the cut-offs that it lists with them.
    events: sorted(shown.events.filter((/** @type {string} */ words) => !/^block \d+ \([^)]*\): (before it|after it|cut off), /
      .test(words)).map((/** @type {string} */ words) => numberIn(/^block (\d+)/, words) - 1)),
    // Those after the last block, which no block follows, show with it.
    "execution decals": sorted(arranged.flatMap((line, i) => (isExecution(line) ? [Math.min(blockOf(i), blocks - 1)] : []))),
  };
  const strips = Object.fromEntries(Object.keys(expected).map((kind) => {
    const colour = new RegExp(`${kind} in (\\w+)`).exec(about)?.[1] ?? "";
    assert.ok(colour in HUES, `the page names the colour of the ${kind}' strip: ${about}`);
    return [kind, strip(colour)];
  }));
  for (const [kind, marked] of Object.entries(expected)) {
    assert.deepEqual(strips[kind].blocks, marked, `the ${kind}' strip marks the blocks that have them`);
  }
  const shared = [...strips.events.lines].filter((y) => strips["execution decals"].lines.has(y));
  assert.deepEqual(shared, [], "the events and the execution decals each in a strip of their own");
});

// Every log that the plug-in wrote in this run.
function runLogs() {
  /** @type {string[]} */
  const logs = [];
  const walk = (/** @type {string} */ folder) => {
    for (const name of readdirSync(folder)) {
      const path = join(folder, name);
      if (name === "wineprefix") continue;
      if (statSync(path).isDirectory()) walk(path);
      else if (name === "Crimsel.log") logs.push(path);
    }
  };
  walk(bin);
  return logs;
}

test("every log that the plug-in wrote in this run is understood whole", async () => {
  const page = await session.open();
  let checked = 0;
  for (const log of runLogs()) {
    const shown = await giveLog(page, log, "Crimsel.log");
    // A file that the tests planted where logging stays off holds no line of the plug-in's.
    if (shown.startup.length === 0 && shown.counts === NO_LOG && shown.executions === "0 execution decals") {
      continue;
    }
    checked++;
    assert.equal(shown.notUnderstood, "0 lines not understood", log);
  }
  assert.ok(checked >= 80, `${checked} logs of the plug-in's`);
});

// An execution decal's words hold its time, victim or splatter, its index and texture, as its line has them.
/** @param {string} said @param {string} line @param {string} name */
function saysDecal(said, line, name) {
  const kind = line.includes("splatter decal") ? "splatter" : "victim";
  for (const part of [line.slice(12, 24), `${kind} decal ${/ index=(\S+)/.exec(line)?.[1]}`, String(/ texture=(.*)$/.exec(line)?.[1])]) {
    assert.ok(said.includes(part), `${name}: "${part}" in "${said}"`);
  }
}

test("bad input gets a clear message, and a log's text is only ever text", async () => {
  const scene = readFileSync(join(bin, "games/scene/Crimsel.log"));
  const lines = scene.toString("latin1").split("\r\n");
  const header = lines.findIndex((line) => line.includes("DamageMapState"));
  const stamp = "[2026-12-08 20:00:00.000] ";
  const markup = "<img src=x onerror=\"document.title='ran'\"><script>document.title='ran'</script>";
  const stopped = `${stamp}InitializeASI stopped by an error: ${markup}`;
  const sceneThen = (/** @type {string} */ text) => Buffer.from(`${scene.toString("latin1")}${text}`, "latin1");
  const earlier = lines.map((line, i) => (i === lines.findLastIndex((l) => l.includes("DamageMapState"))
    ? `[1999-01-01 00:00:00.000]${line.slice(25)}` : line));
  const execution = lines.find((line) => line.includes("Execution victim decal"));
  const interleaved = [...lines.slice(0, header + 2), execution, ...lines.slice(header + 2)];
  const decals = lines.filter((line) => line.includes("] Execution "));
  const aPage = Array.from({ length: EXECUTIONS_PAGE }, (_, i) => decals[i % decals.length]);
  const cases = [
    { name: "interleaved.log", bytes: Buffer.from(interleaved.join("\r\n"), "latin1"),
      notUnderstood: "0 lines not understood", counts: "4 blocks, 2 maps", executions: "10 execution decals" },
    { name: "empty.log", bytes: Buffer.alloc(0), problem: "The file is empty" },
    { name: "binary.log", bytes: Buffer.from([0x89, 0x50, 0x4e, 0x47, 0, 0, 0, 13, 10, 0xff]), problem: "This is not a text file" },
    { name: "utf16.log", bytes: Buffer.from(`\ufeff${scene.toString("latin1")}`, "utf16le"), problem: "This is not a text file" },
    { name: "Vorlaine.Crimsel.ini", bytes: readFileSync(join(bin, "games/scene/Vorlaine.Crimsel.ini")),
      problem: "This is not a Crimsel.log" },
    { name: "cut.log", bytes: Buffer.from(lines.slice(0, header + 2).join("\r\n"), "latin1"), problem: "cut off",
      counts: "1 block, 1 map" },
    { name: "backwards.log", bytes: Buffer.from(earlier.join("\r\n"), "latin1"), problem: "run backwards once",
      counts: "4 blocks, 2 maps" },
    { name: "long-line.log", bytes: Buffer.concat([scene, Buffer.alloc(10 << 20, "x")]),
      notUnderstood: "1 line not understood", counts: "4 blocks, 2 maps" },
    { name: "unknown.log", bytes: sceneThen(`${stamp}not a line of the plug-in's\r\n`.repeat(600)),
      notUnderstood: "600 lines not understood", counts: "4 blocks, 2 maps" },
    { name: "executions-only.log", bytes: Buffer.from(decals.join("\r\n"), "latin1"), counts: NO_BLOCKS,
      executionList: decals },
    { name: "a-page-of-decals.log", bytes: Buffer.from(aPage.join("\r\n"), "latin1"), counts: NO_BLOCKS,
      executionList: aPage },
    { name: "no-maps.log", bytes: Buffer.from(lines[header].replace(/mapCount=\d+/, "mapCount=0"), "latin1"),
      counts: "1 block, 0 maps" },
    { name: "another-plug-in-in-no-module.log", bytes: sceneThen(`${stamp}CharacterDamageManager diagnostics hook not ` +
      "installed: 0x005BB163 holds a jump to 0x20000000 (no module), another plug-in's hook; left as it is\r\n"),
      startup: "The damage-map diagnostics (LogDamageMapDiagnostics) are not installed: another plug-in (its code " +
        "lies in no module) put a jump" },
    { name: "markup-start-up.log", bytes: sceneThen(`${stopped}\r\n`), notUnderstood: "0 lines not understood",
      startup: `The plug-in's start-up stopped on an error (${markup})`, line: stopped },
    { name: "markup.log", bytes: sceneThen(`${stamp}${markup}\r\n`), notUnderstood: "1 line not understood",
      counts: "4 blocks, 2 maps" },
  ];
  const folder = scratchFolder();
  const paths = writeFiles(folder, cases);
  const page = await session.open();
  /** @type {Record<string, number>} */
  const heights = {};
  for (const [i, c] of cases.entries()) {
    const shown = await giveLog(page, paths[i], c.name);
    if (c.problem) assert.ok(found(shown.problems, c.problem), `${c.name}: ${shown.problems}`);
    if (c.counts) assert.equal(shown.counts, c.counts, c.name);
    if (c.notUnderstood) assert.equal(shown.notUnderstood, c.notUnderstood, c.name);
    if (c.executions) assert.equal(shown.executions, c.executions, c.name);
    if (c.startup) assert.ok(found(shown.startup, c.startup), `${c.name}: ${shown.startup}`);
    if (c.line) assert.ok(shown.lines.includes(c.line), `${c.name}: its line as it stands`);
    assert.equal(shown.elements, 0, `${c.name}: no element made from the file`);
    if (c.executionList) {
      // Each decal in words: its time, victim or splatter, its index and texture, as its line has them.
      const words = await page.$$eval("#log-execution-list li", (/** @type {HTMLLIElement[]} */ items) =>
        items.map((item) => item.textContent));
      assert.equal(words.length, c.executionList.length, c.name);
      assert.ok(await page.$eval("#executions-pages", (pages) => (/** @type {HTMLElement} */ (pages)).hidden),
        `${c.name}: one page`);
      words.forEach((/** @type {string} */ said, /** @type {number} */ i) => saysDecal(said, c.executionList[i], c.name));
    }
    heights[c.name] = await page.$eval("canvas#timeline", (/** @type {HTMLCanvasElement} */ canvas) => canvas.height);
  }
  assert.ok(heights["no-maps.log"] < heights["cut.log"], "a block of no maps draws no row, one of one map a row");
  await page.click("#log-show-unknown");
  await page.waitForFunction(() => document.getElementById("log-unknown")?.hidden === false);
  assert.equal(await page.$eval("#log-unknown", (/** @type {Element} */ shown) => shown.textContent), `${stamp}${markup}`);
  assert.equal(await page.$$eval("#log-report img, #log-report script", (/** @type {Element[]} */ made) => made.length), 0);
  assert.equal(await page.title(), "Vorlaine.Crimsel: blood decal colour and settings");
});

// Where the page's tables and captions break a word other than at a blank, a
// hyphen or a place marked for it (a long name's pieces are cut by the page
// itself), and the
// lines to paste that their boxes do not show whole.
/** @param {import("puppeteer-core").Page} page */
const fitted = (page) => page.evaluate(() => {
  const broken = [];
  for (const holder of document.querySelectorAll("#ini-settings td, #log-startup td, figcaption")) {
    const walker = document.createTreeWalker(holder, NodeFilter.SHOW_TEXT);
    for (let text = walker.nextNode(); text; text = walker.nextNode()) {
      for (const word of (text.textContent ?? "").matchAll(/[^\s-]+-?/g)) { // a line may break after a hyphen
        const range = document.createRange();
        range.setStart(text, word.index ?? 0);
        range.setEnd(text, (word.index ?? 0) + word[0].length);
        if (new Set([...range.getClientRects()].map((rect) => Math.round(rect.top))).size > 1) broken.push(word[0]);
      }
    }
  }
  const boxes = [.../** @type {NodeListOf<HTMLTextAreaElement>} */ (document.querySelectorAll("#paste textarea"))]
    .filter((box) => box.scrollHeight > box.clientHeight || box.scrollWidth > box.clientWidth).map((box) => box.id);
  return { broken, boxes };
});

// Phones, half a screen and a desktop, with an INI and a log read and a cell
// chosen: the page never scrolls sideways; the timeline takes the page's scheme.
test("the page fits every window from 320 pixels wide, and the timeline follows the dark scheme", async () => {
  const page = await session.open();
  await giveIni(page, join(bin, "games/scene/Vorlaine.Crimsel.ini"), "Vorlaine.Crimsel.ini");
  await giveLog(page, join(bin, "games/scene/Crimsel.log"), "Crimsel.log");
  await page.click("#log-events li button");
  for (const width of [320, 390, 768, 1280]) {
    await page.setViewport({ width, height: 800 });
    const wide = await page.evaluate(() => document.documentElement.scrollWidth);
    assert.ok(wide <= width, `a window ${width} pixels wide: the page is ${wide} pixels wide`);
    assert.deepEqual(await fitted(page), { broken: [], boxes: [] }, `a window ${width} pixels wide`);
    // The timeline's drawing as large as it shows, once it has followed the window, and its time stamps inside it:
    // the first stamp begins a pixel into the plot, not where a drawing of another width, stretched, would put it.
    await resized(page, width);
    const { width: drawn, rgba } = await timelinePixels(page);
    const background = rgba.readUInt32BE(4 * (drawn - 1));
    const stamp = Math.min(...[...Array(LABELS).keys()].map((y) => {
      let x = LEFT;
      while (x < drawn && rgba.readUInt32BE(4 * (y * drawn + x)) === background) x++;
      return x;
    }));
    assert.ok(stamp >= LEFT && stamp <= LEFT + 3, `${width} pixels: the first time stamp begins at ${stamp}`);
    // The last column along the time stamps all one colour: no stamp's glyphs cut there.
    const edge = new Set([...Array(LABELS).keys()].map((y) => rgba.readUInt32BE(4 * (y * drawn + drawn - 1))));
    assert.equal(edge.size, 1, `${width} pixels: no time stamp runs off the timeline`);
  }
  // The scheme's change reaches the page a moment after the switch.
  for (const scheme of /** @type {const} */ (["light", "dark"])) {
    await session.scheme(page, scheme);
    let [shown, paper] = ["", "page"];
    for (let tries = 0; tries < 50 && shown !== paper; tries++) {
      const [r, g, b] = (await timelinePixels(page)).rgba;
      shown = `rgb(${r}, ${g}, ${b})`;
      paper = await page.evaluate(() => getComputedStyle(document.documentElement).backgroundColor);
    }
    assert.equal(shown, paper, `${scheme}: the timeline's background is not the page's`);
  }
  // Every start-up line of every log of the run, in one log, at the narrowest window.
  const stamp = /^\[[^\]]*\] /;
  const startup = [...new Map(runLogs().flatMap((log) => readFileSync(log, "latin1").split("\r\n"))
    .filter((line) => stamp.test(line) && !/\] (DamageMapState | {2}map\[|Execution )/.test(line))
    .map((line) => [line.replace(stamp, ""), line])).values()];
  const [path] = writeFiles(scratchFolder(), [{ name: "start-ups.log", bytes: Buffer.from(startup.join("\r\n"), "latin1") }]);
  await page.setViewport({ width: 320, height: 800 });
  const shown = await giveLog(page, path, "start-ups.log");
  // A file that a test planted beside the plug-in's logs holds a line of its own, which is no start-up's.
  assert.equal(shown.startup.length + numberIn(/^(\d+)/, shown.notUnderstood ?? ""), startup.length,
    "a sentence for each line but those not understood");
  assert.ok(found(shown.startup, "(PatchBloodDecalColorAndAlpha=0)"), "the colour patch off among them");
  const wide = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(wide <= 320, `every start-up sentence in a window 320 pixels wide: the page is ${wide} pixels wide`);
  assert.deepEqual(await fitted(page), { broken: [], boxes: [] }, "every start-up sentence, 320 pixels");
  await session.scheme(page, null);
});

// The generated log's execution decals, which the real plug-in wrote, again
// and again to 40,000 lines; with the keyboard alone, a page on, then to the
// last page, and into the list to its end.
test("a keyboard reaches the last of 40,000 execution decals, a page at a time", async () => {
  const written = readFileSync(referenceLog("games/page_reference-generated"), "latin1").split("\r\n")
    .filter((line) => line.includes("] Execution "));
  const decals = Array.from({ length: 40000 }, (_, i) => written[i % written.length]);
  const [path] = writeFiles(scratchFolder(), [{ name: "Crimsel.log", bytes: Buffer.from(`${decals.join("\r\n")}\r\n`, "latin1") }]);
  const page = await session.open();
  await giveLog(page, path, "Crimsel.log");
  const shown = () => page.$eval("#log-execution-list", (list) => ({ first: (/** @type {HTMLOListElement} */ (list)).start,
    items: [...list.children].map((item) => item.textContent ?? ""),
    words: document.getElementById("log-executions-shown")?.textContent }));
  const onPage = (await shown()).items.length;
  const pages = Math.ceil(decals.length / onPage);
  // Enter on a page's button, then that page's decals in words, and which they are.
  const turnTo = async (/** @type {number} */ number) => {
    await page.keyboard.press("Enter");
    const from = (number - 1) * onPage + 1;
    await page.waitForFunction((/** @type {number} */ first) => (/** @type {HTMLOListElement} */ (
      document.getElementById("log-execution-list"))).start === first, { timeout: 5000 }, from);
    const now = await shown();
    assert.equal(now.words, `Execution decals ${count(from)} to ${count(from + now.items.length - 1)} of ` +
      `${count(decals.length)}, page ${count(number)} of ${count(pages)}.`);
    now.items.forEach((said, i) => saysDecal(said, decals[from - 1 + i], `decal ${from + i}`));
    return now;
  };
  await tabTo(page, "#executions-next");
  await turnTo(2);
  await tabTo(page, "#executions-last");
  const last = await turnTo(pages);
  assert.equal(last.first + last.items.length - 1, decals.length, "the last page ends with the last decal");
  assert.ok(await page.evaluate(() => document.activeElement?.matches(".events-pages button:enabled")),
    "the focus stays on the pages' buttons");
  await page.keyboard.down("Shift");
  await tabTo(page, "#log-execution-list");
  await page.keyboard.up("Shift");
  await page.keyboard.press("End");
  await page.waitForFunction(() => {
    const list = /** @type {HTMLElement} */ (document.getElementById("log-execution-list")).getBoundingClientRect();
    const item = /** @type {HTMLElement} */ (document.querySelector("#log-execution-list li:last-child")).getBoundingClientRect();
    return item.top >= Math.max(0, list.top) && item.bottom <= Math.min(innerHeight, list.bottom + 1);
  }, { timeout: 5000 }).catch(() => assert.fail("End in the list brings its last decal into view"));
});

// The start-up of a plug-in stopped by an error, and of one whose places
// another plug-in had taken: the words of what went wrong stand out in one
// colour, the others in another, in either scheme.
test("the start-up's rows of what went wrong stand out in their colour", async () => {
  const page = await session.open();
  for (const log of [join(stopped, "Crimsel.log"), join(bin, "games/scene-another-plugin/Crimsel.log")]) {
    await giveLog(page, log, "Crimsel.log");
    for (const scheme of /** @type {const} */ (["light", "dark"])) {
      await session.scheme(page, scheme);
      const colours = await page.$$eval("#log-startup tbody tr", (rows) => rows.map((row) => ({
        wrong: / not installed: | stopped by an error| left as it is/.test(row.children[1].textContent ?? ""),
        colour: getComputedStyle(row.children[0]).color })));
      /** @param {boolean} wrong */
      const of = (wrong) => new Set(colours.filter((row) => row.wrong === wrong).map((row) => row.colour));
      const [wrong, right] = [of(true), of(false)];
      assert.ok(wrong.size === 1 && right.size === 1 && ![...wrong].some((colour) => right.has(colour)),
        `${log}, ${scheme}: what went wrong in ${[...wrong]}, the rest in ${[...right]}`);
    }
    await session.scheme(page, null);
  }
});

// Sparse files of 2 GiB and a byte, which take no room on the disk: the
// scene's log, then zero bytes to the end, is read to its end, which takes
// long: its reading names it and says how much is read, a few times a second,
// and Stop (from the keyboard) and Esc end it, after which a log reads as ever;
// one of zero bytes alone gets words in seconds.
test("a 2 GB file's reading says its share and stops by Stop or Esc; one that is no log gets words at once", async () => {
  const folder = scratchFolder();
  const scene = join(bin, "games/scene/Crimsel.log");
  const [long, zeros] = writeFiles(folder, [{ name: "long.log", bytes: readFileSync(scene) },
    { name: "zeros.log", bytes: Buffer.alloc(0) }]);
  for (const path of [long, zeros]) truncateSync(path, 2 ** 31 + 1);
  const page = await session.open();
  const input = /** @type {import("puppeteer-core").ElementHandle<HTMLInputElement>} */ (await page.$("#log-file"));
  for (const stop of ["Stop", "Escape"]) {
    await page.evaluate(() => {
      const { changes, bars } = Object.assign(window, { changes: /** @type {number[]} */ ([]),
        bars: /** @type {number[]} */ ([]) });
      new MutationObserver(() => changes.push(performance.now())).observe(
        /** @type {Node} */ (document.getElementById("log-reading-words")), { childList: true });
      new MutationObserver(() => bars.push(performance.now())).observe(
        /** @type {Node} */ (document.getElementById("log-progress")), { attributeFilter: ["value"] });
    });
    await input.uploadFile(long);
    await page.waitForFunction(() => Reflect.get(window, "changes").length > 3 && /^Reading long\.log: [1-9]\d* %$/
      .test(document.getElementById("log-reading-words")?.textContent ?? ""), { timeout: 10000 })
      .catch(() => assert.fail(`${stop}: the share of the reading not said again and again`));
    if (stop === "Stop") {
      await tabTo(page, "#log-stop");
      await page.keyboard.press("Enter");
    } else {
      await page.keyboard.press("Escape");
    }
    // The words of the stop, where the focus goes when its button is gone.
    const { focus, changes, bars, ...ended } = await page.evaluate(() => ({
      reading: !document.getElementById("log-reading")?.hidden, said: document.getElementById("log-status")?.textContent,
      focus: document.activeElement?.id, changes: /** @type {number[]} */ (Reflect.get(window, "changes")),
      bars: /** @type {number[]} */ (Reflect.get(window, "bars")) }));
    assert.deepEqual(ended, { reading: false, said: stoppedWords("long.log") }, stop);
    if (stop === "Stop") assert.equal(focus, "log-status");
    // From the first share said after the "0 %" of the start, which the observer may see late, in the same task
    // that makes the worker.
    for (const [what, times] of /** @type {Array<[string, number[]]>} */ ([["said", changes], ["drawn", bars]])) {
      const gaps = times.slice(2).map((time, i) => time - times[i + 1]);
      assert.ok(gaps.length > 0 && gaps.every((gap) => gap >= 200), `the share ${what} a few times a second: ${gaps}`);
    }
    const after = await giveLog(page, scene, "Crimsel.log");
    assert.equal(after.counts, "4 blocks, 2 maps", `after ${stop}, a log reads as ever`);
  }
  const started = Date.now();
  const shown = await giveLog(page, zeros, "zeros.log");
  assert.ok(Date.now() - started < 5000, `zero bytes alone: words after ${Date.now() - started} ms`);
  assert.ok(shown.problems.length > 1 && shown.counts === NO_LOG, `zero bytes alone: ${shown.problems}`);
});
