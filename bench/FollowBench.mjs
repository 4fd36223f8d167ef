// The cost of following a log that grows by 1 MB a second. First in Node,
// through the page's own modules: a generated diagnostics log (64 maps a
// block, in the plug-in's line format) of a given size is read whole, then 1
// MB of new lines at each look, cut anywhere, as the worker reads them: the new
// bytes read, the summary and levels made on, and what the page lacks posted;
// and the page's part, its model grown from that. Prints, per look, the CPU
// time of the worker's part as a share of a core at one look a second, and the
// longest time of the page's part, which is a task of the page's main thread.
// Then, given the packed page, the same in Chromium, the page itself following
// the log through a picker's handle while the log on disk grows by 1 MB a
// second: the CPU time of all the browser's processes as a share of a core,
// beside the same page following a log that does not grow; the longest task of
// the page's main thread; and the browser's resident memory before and after.
// The handle stands in for the browser's: each look hands the page the bytes
// added, which it joins to the file it had, as a browser's file grows on disk.
// Usage: node FollowBench.mjs [MB to start from, 100 by default] [looks, 20 by default]
//        [packed page] [scratch folder] [MB the page starts from, 30 by default]
import { appendFileSync, openSync, readFileSync, readSync, closeSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { processTree } from "./BrowserProcesses.mjs";
import { dirname, join } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import * as Levels from "../page/levels.js";
import * as LogModel from "../page/logmodel.js";
import * as LogReading from "../page/logreading.js";
import * as PageModel from "../page/pagemodel.js";
import { summariser } from "../page/summary.js";

const START = Number(process.argv[2] || 100) * 2 ** 20;
const LOOKS = Number(process.argv[3] || 20);
const MB = 2 ** 20;

// A log's lines from the block given, until it holds at least so many bytes.
let random = 1;
const below = (n) => {
  random = (Math.imul(random, 1103515245) + 12345) >>> 0;
  return (random >>> 8) % n;
};
const owners = new Uint32Array(64).map((_, i) => 0x1000000 + i);
const hex = (n) => n.toString(16).toUpperCase().padStart(8, "0");
function lines(block, bytes) {
  const parts = [];
  let length = 0;
  for (; length < bytes; block++) {
    const ms = block * 33;
    const stamp = `[2026-12-08 ${new Date(ms).toISOString().slice(11, 23)}] `;
    parts.push(`${stamp}DamageMapState before_UpdateRenderMaps manager=0A000000 mapCount=64 renderedCount=64 ` +
      `cleanupTimer=${block}\r\n`);
    for (let map = 0; map < 64; map++) {
      if (below(50) === 0) owners[map] = 0x2000000 + below(1 << 20);
      parts.push(`${stamp}  map[${String(map).padStart(2, "0")}] activeSlot=1 owner=${hex(owners[map])} ` +
        `tex=0C0A0000 tex2=0C0B0000 decals=${below(40)} rendered=3 flags=0x00\r\n`);
    }
    if (below(20) === 0) parts.push(`${stamp}Execution splatter decal: player=0D000000 execId=1 stage=0 index=1/25 ` +
      "time=0.100 animTime=1.250 pos=(-1.500, 2.000) texture=blood_1.dds\r\n");
    length = parts.reduce((sum, part) => sum + part.length, 0);
  }
  return { text: parts.join(""), block };
}

const first = lines(0, START);
const state = LogReading.begin(0);
LogReading.take(state, Buffer.from(first.text, "latin1"));
const summarise = summariser();
let model = LogModel.withoutAdd(state.result.model);
let { summary, from } = summarise(model);
let levels = Levels.grown(null, model, summary, from);
const page = PageModel.forPage(model);
let block = first.block;
let rest = "";
const worker = [];
const onPage = [];
for (let look = 0; look < LOOKS; look++) {
  const more = lines(block, MB - rest.length);
  block = more.block;
  const all = rest + more.text;
  const cut = MB - 1 - below(4096);
  rest = all.slice(cut);
  const bytes = Buffer.from(all.slice(0, cut), "latin1");
  const had = { events: model.events.length, executions: model.executions.length };
  const started = process.cpuUsage();
  LogReading.take(state, bytes);
  model = LogModel.withoutAdd(state.result.model);
  ({ summary, from } = summarise(model));
  levels = Levels.grown(levels, model, summary, from);
  const growth = structuredClone(PageModel.growth(model, { ...had, blocks: from }));
  const spent = process.cpuUsage(started);
  worker.push((spent.user + spent.system) / 1000);
  const pageStarted = performance.now();
  PageModel.grow(page, growth);
  onPage.push(performance.now() - pageStarted);
}
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
console.log(`following, ${(START / MB).toFixed(0)} MB log growing 1 MB/s, ${LOOKS} looks: worker's CPU | median ` +
  `${(median(worker) / 10).toFixed(1)} % of a core, most ${(Math.max(...worker) / 10).toFixed(1)} %`);
console.log(`following: page's part of a look (its model grown) | median ${median(onPage).toFixed(1)} ms, ` +
  `most ${Math.max(...onPage).toFixed(1)} ms`);
console.log(`following: blocks at the end | ${page.blocks.length} (${levels.levels.length} levels)`);

const [pageHtml, scratch] = process.argv.slice(4);


// The CPU seconds of the browser's processes now, all and the pages' (the renderers': the page, its worker and
// the stand-in handle), and their resident MB.
function usage(browserPid) {
  let [ticks, pages, kilobytes] = [0, 0, 0];
  for (const pid of processTree(browserPid)) {
    try {
      const fields = readFileSync(`/proc/${pid}/stat`, "utf8").split(") ")[1].split(" ");
      const spent = Number(fields[11]) + Number(fields[12]);
      ticks += spent;
      if (readFileSync(`/proc/${pid}/cmdline`, "utf8").includes("--type=renderer")) pages += spent;
      kilobytes += Number(/VmRSS:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, "utf8"))[1]);
    } catch {
      // gone meanwhile
    }
  }
  return { seconds: ticks / 100, pages: pages / 100, megabytes: kilobytes / 1024 };
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function inChromium(startBytes) {
  const root = join(dirname(fileURLToPath(import.meta.url)), "..");
  const require = createRequire(join(root, "tests/page/package.json"));
  const puppeteer = (await import(pathToFileURL(require.resolve("puppeteer-core")).href)).default;
  const path = join(scratch, "follow.log");
  const start = lines(0, startBytes);
  writeFileSync(path, start.text, "latin1");
  let block = start.block;
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
      "--disable-component-update", "--disable-sync"],
  });
  const pid = browser.process().pid;
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 900 });
    // The bytes of the log from an offset, 16 MiB at most, for the handle's next file.
    await page.exposeFunction("crimselBytes", (offset) => {
      const file = openSync(path, "r");
      try {
        const bytes = Buffer.alloc(16 * MB);
        return bytes.subarray(0, readSync(file, bytes, 0, bytes.length, offset)).toString("base64");
      } finally {
        closeSync(file);
      }
    });
    await page.evaluateOnNewDocument(() => {
      window.longTasks = [];
      new PerformanceObserver((list) => {
        for (const { startTime, duration } of list.getEntries()) window.longTasks.push({ start: startTime, duration });
      }).observe({ type: "longtask", buffered: true });
      let file = new File([], "Crimsel.log");
      window.handling = 0; // the stand-in handle's own milliseconds, which a browser's handle does not spend

      const handle = {
        kind: "file", name: "Crimsel.log",
        async getFile() {
          for (let more = await window.crimselBytes(file.size); more; more = await window.crimselBytes(file.size)) {
            const started = performance.now();
            const text = atob(more);
            const bytes = new Uint8Array(text.length);
            for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
            file = new File([file, bytes], "Crimsel.log", { lastModified: file.lastModified + 1 });
            window.handling += performance.now() - started;
          }
          return file;
        },
      };
      window.showOpenFilePicker = async () => [handle];
    });
    await page.goto(pathToFileURL(pageHtml).href);
    await page.click("#log-file");
    await page.waitForFunction(() => document.getElementById("log-name")?.textContent === "Crimsel.log",
      { timeout: 120000 });
    await sleep(3000);
    // Following a log that does not grow, then one that grows by 1 MB a second.
    const windowOf = async (seconds, grow) => {
      const before = usage(pid);
      const [t0, tasks, handled] = [performance.now(), ...await page.evaluate(() => [window.longTasks.length,
        window.handling])];
      for (let s = 0; s < seconds; s++) {
        if (grow) {
          const more = lines(block, MB);
          block = more.block;
          appendFileSync(path, more.text, "latin1");
        }
        await sleep(1000);
      }
      const after = usage(pid);
      const [longest, handling] = await page.evaluate((from) => [Math.max(0, ...window.longTasks.slice(from)
        .map((task) => task.duration)), window.handling], tasks);
      const wall = (performance.now() - t0) / 1000;
      return { core: (after.seconds - before.seconds) / wall,
        pages: (after.pages - before.pages - (handling - handled) / 1000) / wall, longest,
        megabytes: [before.megabytes, after.megabytes] };
    };
    const still = await windowOf(10, false);
    const growing = await windowOf(20, true);
    await sleep(3000);
    const shown = await page.$eval("#log-blocks", (words) => words.textContent);
    const MBs = (startBytes / MB).toFixed(0);
    console.log(`following in Chromium, ${MBs} MB log not growing, 10 s | ${(100 * still.core).toFixed(1)} % of a ` +
      `core (all the browser's processes), longest task ${still.longest.toFixed(0)} ms, memory ` +
      `${still.megabytes[0].toFixed(0)} to ${still.megabytes[1].toFixed(0)} MB over its 10 looks`);
    console.log(`following in Chromium, ${MBs} MB log growing 1 MB/s, 20 s | ${(100 * growing.core).toFixed(1)} % ` +
      `of a core (all the browser's processes; the page and its worker ${(100 * growing.pages).toFixed(1)} %, ` +
      "without the stand-in handle's own work), longest task " +
      `${growing.longest.toFixed(0)} ms (0: none over 50 ms), ` +
      `memory ${growing.megabytes[0].toFixed(0)} to ${growing.megabytes[1].toFixed(0)} MB`);
    console.log(`following in Chromium: blocks shown at the end | ${shown} (the log holds ${block})`);
  } finally {
    await browser.close();
  }
}

if (pageHtml && scratch) await inChromium(Number(process.argv[6] || 30) * MB);
