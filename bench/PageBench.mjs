// The players' page on a long session's log, in headless Chromium or Firefox
// ESR (CRIMSEL_BROWSER=firefox): a generated diagnostics log (11,000 blocks of
// 64 maps by default, about 100 MB, in the plug-in's line format) given to the
// log's file input. Prints one line per figure: the time from the file given
// to the timeline drawn and its counts shown, beside the bare reading of the
// same file in a bare page of the same browser (8 MiB slices, line ends
// counted with Uint8Array.indexOf), the least any reader of the log must do;
// the growth of the browser's processes' resident memory at its peak while
// the page reads; and in Chromium the longest task of the page's main thread
// meanwhile (Chromium's Long Tasks, which name every task over 50 ms), which
// is how long input waits then; the time from a scroll or zoom input to the
// next animation frame after the drawing; and, on a fresh load with the main
// thread slowed four times, the reading time and longest task again.
// Usage: node PageBench.mjs <packed page> <scratch folder> [blocks, 11000 by default] [runs, 1 by default]
// The log is written into the scratch folder once for each number of blocks
// and left there for the next run; the caller removes the folder.
import { createWriteStream, existsSync, readFileSync, renameSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { processTree } from "./BrowserProcesses.mjs";
import { dirname, join } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const root = join(dirname(fileURLToPath(import.meta.url)), "..");
const require = createRequire(join(root, "tests/page/package.json"));
const puppeteer = (await import(pathToFileURL(require.resolve("puppeteer-core")).href)).default;
const [pageHtml, scratch] = process.argv.slice(2);

const BLOCKS = Number(process.argv[4] || 11000);
const RUNS = Number(process.argv[5] || 1);
const BROWSER = process.env.CRIMSEL_BROWSER || "chromium";
const chromium = BROWSER === "chromium";
const MAPS = 64;

// The log: each block changes a few maps (a new owner, decals, flags), now and
// then the counts, with execution decal lines of another thread between lines.
async function generate(path) {
  const out = createWriteStream(path);
  let random = 1;
  const below = (n) => {
    random = (Math.imul(random, 1103515245) + 12345) >>> 0;
    return (random >>> 8) % n;
  };
  const hex = (v) => v.toString(16).toUpperCase().padStart(8, "0");
  const two = (v) => String(v).padStart(2, "0");
  const maps = Array.from({ length: MAPS }, (_, i) => ({ owner: 0x01000000 + i * 0x40, decals: 0, flags: 0, slot: i < 8 ? i : -1 }));
  let time = Date.UTC(2026, 11, 8, 20, 0, 0, 0);
  let chunk = "";
  const stamp = () => {
    const d = new Date(time);
    return `[${d.toISOString().slice(0, 10)} ${d.toISOString().slice(11, 23)}] `;
  };
  for (let block = 0; block < BLOCKS; block++) {
    time += 16 + below(40);
    for (let k = 0; k < 3; k++) {
      const map = maps[below(MAPS)];
      if (below(4) === 0) map.owner = 0x02000000 + below(4096) * 0x40;
      map.decals = Math.min(255, map.decals + below(3));
      map.flags = below(8);
    }
    const after = block % 2 === 1;
    chunk += `${stamp()}DamageMapState ${after ? "after" : "before"}_UpdateRenderMaps manager=0A000000 ` +
      `mapCount=${block % 500 < 490 ? 64 : 63} renderedCount=${1 + (block % 8)} cleanupTimer=${block}\r\n`;
    const count = block % 500 < 490 ? 64 : 63;
    for (let i = 0; i < count; i++) {
      const m = maps[i];
      if (below(400) === 0) {
        chunk += `${stamp()}Execution victim decal: player=0B000000 victim=0C000000 execId=56 stage=1 index=0/4 ` +
          "time=0.150 animTime=0.200 pos=(0.300, 0.400) texture=neck_spurt\r\n";
      }
      chunk += `${stamp()}  map[${two(i)}] activeSlot=${m.slot < 0 ? "--" : m.slot} owner=${hex(m.owner)} ` +
        `tex=${hex(0x03000000 + i)} tex2=${hex(0x04000000 + i)} decals=${m.decals} rendered=${m.decals} ` +
        `flags=0x${two(m.flags.toString(16).toUpperCase())}${m.flags & 1 ? " needsClear" : ""}` +
        `${m.flags & 2 ? " resetAfterRender" : ""}${m.flags & 4 ? " inactive" : ""}\r\n`;
    }
    if (chunk.length > 1 << 20) {
      if (!out.write(chunk)) await new Promise((resolve) => out.once("drain", resolve));
      chunk = "";
    }
  }
  out.end(chunk);
  await new Promise((resolve) => out.on("finish", resolve));
}

// The resident memory of the browser's processes (the browser and every
// process under it), in MB.
function browserMegabytes(browserPid) {
  let kilobytes = 0;
  for (const pid of processTree(browserPid)) {
    try {
      kilobytes += Number(/VmRSS:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, "utf8"))[1]);
    } catch {
      // gone meanwhile
    }
  }
  return kilobytes / 1024;
}

// The peak of the browser's memory while a promise runs, sampled every 50 ms.
async function peakWhile(browserPid, promise) {
  let peak = browserMegabytes(browserPid);
  const timer = setInterval(() => {
    peak = Math.max(peak, browserMegabytes(browserPid));
  }, 50);
  try {
    const value = await promise;
    return { value, peak: Math.max(peak, browserMegabytes(browserPid)) };
  } finally {
    clearInterval(timer);
  }
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The file given to the page's log input, timed from its change event to the
// animation frame after the timeline is drawn and the counts shown, with the
// main thread's long tasks that overlap that span (in ms after the change).
async function giveLog(page, log) {
  const input = await page.$('input[type="file"][accept=".log"]');
  await page.evaluate(() => {
    document.getElementById("log-file").addEventListener("change", () => {
      window.given = performance.now();
    }, true);
  });
  await input.uploadFile(log);
  const loaded = await page.evaluate(() => new Promise((resolve) => {
    const check = () => {
      if (!document.getElementById("log-report").hidden && window.drawn()) {
        requestAnimationFrame(() => resolve({
          ms: performance.now() - window.given,
          counts: document.getElementById("log-blocks").textContent,
          notUnderstood: document.getElementById("log-not-understood").textContent,
          size: document.getElementById("log-file").files[0].size,
        }));
      } else {
        setTimeout(check, 5);
      }
    };
    check();
  }));
  // Long task entries reach their observer a little after the task.
  loaded.tasks = await page.evaluate((ms) => new Promise((resolve) => setTimeout(() => resolve(window.longTasks
    .filter(({ start, duration }) => start < window.given + ms && start + duration > window.given)
    .map(({ start, duration }) => ({ at: start - window.given, duration }))), 300)), loaded.ms);
  return loaded;
}

// The script time of an input: its handler, then the drawing in the frames that
// follow, each timed from an animation frame callback asked for before the
// painter's to one asked for after it (callbacks run in the order asked), until
// the timeline is no longer busy. Twenty of each: over the whole log, arrow
// keys, Ctrl and the wheel (in and out, about a point) and owners chosen in
// the legend; then arrow keys and Shift and the wheel zoomed in to a
// sixteenth of the log and to the widest columns.
function scriptTimes(page) {
  return page.evaluate(async () => {
    const canvas = document.getElementById("timeline");
    const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
    const settle = async () => {
      do await frame(); while (!window.drawn());
    };
    // Each frame's pair asked for within callbacks, not after an await, which
    // would ask for the next frame.
    const timed = (input) => settle().then(() => new Promise((resolve) => {
      let ms = 0;
      let frames = 0;
      let began = 0;
      let done = false;
      const before = () => {
        began = performance.now();
        if (!done) requestAnimationFrame(before);
      };
      const after = () => {
        ms += performance.now() - began;
        frames++;
        done = window.drawn();
        if (done) resolve({ ms, frames });
        else requestAnimationFrame(after);
      };
      requestAnimationFrame(before);
      const start = performance.now();
      input();
      ms = performance.now() - start;
      requestAnimationFrame(after);
    }));
    const key = (name) => () => canvas.dispatchEvent(new KeyboardEvent("keydown", { key: name, bubbles: true, cancelable: true }));
    const wheel = (init) => () => canvas.dispatchEvent(new WheelEvent("wheel", { bubbles: true, cancelable: true,
      clientX: canvas.getBoundingClientRect().left + 600, clientY: canvas.getBoundingClientRect().top + 300, ...init }));
    const run = async (make) => {
      const times = [];
      for (let i = 0; i < 20; i++) times.push(await timed(make(i)));
      return times;
    };
    canvas.focus();
    document.getElementById("timeline-whole").click();
    await settle();
    const arrows = ["ArrowRight", "ArrowDown", "ArrowRight", "ArrowUp"];
    const owner = (i) => () => document.querySelectorAll("#timeline-owners button")[i % 6].click();
    const found = {};
    found["arrow keys, whole log"] = await run((i) => key(arrows[i % 4]));
    found["Ctrl and the wheel (zoom), whole log"] = await run((i) => wheel({ deltaY: i < 10 ? -400 : 400, ctrlKey: true }));
    found["an owner chosen in the legend, whole log"] = await run(owner);
    for (const [zoomed, keys] of [["a sixteenth of the log", 4], ["widest columns", 8]]) {
      for (let i = 0; i < keys; i++) key("+")();
      await settle();
      found[`arrow keys, ${zoomed}`] = await run((i) => key(arrows[i % 4]));
      found[`Shift and the wheel, ${zoomed}`] = await run((i) => wheel({ deltaY: i % 2 ? -300 : 300, shiftKey: true }));
    }
    return found;
  });
}

// The page's own start settled before a figure.
const settled = () => new Promise((resolve) => setTimeout(resolve, 500));

const longest = ({ tasks }) => {
  if (tasks.length === 0) return "none over 50 ms";
  const top = [...tasks].sort((a, b) => b.duration - a.duration).slice(0, 6).sort((a, b) => a.at - b.at);
  const list = top.map(({ at, duration }) => `${duration.toFixed(0)} ms at ${(at / 1000).toFixed(2)} s`);
  return `${top.reduce((most, { duration }) => Math.max(most, duration), 0).toFixed(0)} ms | ${tasks.length} over ` +
    `50 ms${tasks.length > top.length ? ", the longest" : ""}: ${list.join(", ")}`;
};

// The bare reading: a page of the benchmark's own that reads the file given in
// 8 MiB slices and counts its line ends, timed from the input's change event.
const BARE = `<!doctype html><meta charset="utf-8"><input type="file"><script>
document.querySelector("input").addEventListener("change", async (event) => {
  const start = performance.now();
  const file = event.target.files[0];
  let lines = 0;
  for (let at = 0; at < file.size; at += 8 << 20) {
    const bytes = new Uint8Array(await file.slice(at, at + (8 << 20)).arrayBuffer());
    for (let i = bytes.indexOf(10); i >= 0; i = bytes.indexOf(10, i + 1)) lines++;
  }
  window.bare = { ms: performance.now() - start, lines };
});
</script>`;

// In a tab of its own, closed before the page's figures, so that the memory
// it held is not counted in the page's "before"; with its own peak growth.
async function bareReading(bareHtml, log) {
  const page = await browser.newPage();
  try {
    await page.goto(pathToFileURL(bareHtml).href);
    await settled();
    const before = browserMegabytes(pid);
    const { value, peak } = await peakWhile(pid, (async () => {
      await (await page.$("input")).uploadFile(log);
      await page.waitForFunction(() => window.bare, { polling: 20, timeout: 600000 });
      return page.evaluate(() => window.bare);
    })());
    return { ...value, growth: peak - before };
  } finally {
    await page.close();
  }
}

const log = join(scratch, `Crimsel-${BLOCKS}.log`);
if (!existsSync(log)) {
  await generate(`${log}.part`);
  renameSync(`${log}.part`, log);
}
const bareHtml = join(scratch, "bare.html");
writeFileSync(bareHtml, BARE);
const browser = await puppeteer.launch(chromium ? {
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
    "--disable-component-update", "--disable-sync"],
} : { browser: "firefox", executablePath: process.env.FIREFOX || "/usr/bin/firefox-esr", headless: true });
const pid = browser.process().pid;
try {
  for (let run = 0; run < RUNS; run++) await measure();
} finally {
  await browser.close();
}

async function measure() {
  const bare = await bareReading(bareHtml, log);
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 900 });
  await page.evaluateOnNewDocument(() => {
    // The timeline says it is busy while a drawing goes on over several frames.
    window.drawn = () => document.getElementById("timeline").getAttribute("aria-busy") === "false";
    window.longTasks = [];
    if (PerformanceObserver.supportedEntryTypes.includes("longtask")) {
      new PerformanceObserver((list) => {
        for (const { startTime, duration } of list.getEntries()) window.longTasks.push({ start: startTime, duration });
      }).observe({ type: "longtask", buffered: true });
    }
  });
  await page.goto(pathToFileURL(pageHtml).href);
  await settled();
  const before = browserMegabytes(pid);
  const { value: loaded, peak } = await peakWhile(pid, giveLog(page, log));
  const mb = (loaded.size / 1e6).toFixed(0);
  const name = `page, ${BROWSER}, ${mb} MB log`;
  console.log(`${name}: file given to timeline drawn and counts shown | ${(loaded.ms / 1000).toFixed(2)} s | ` +
    `bare reading ${(bare.ms / 1000).toFixed(2)} s (${bare.lines} lines): ${(loaded.ms / bare.ms).toFixed(2)} x | ` +
    `${loaded.counts}, ${loaded.notUnderstood}`);
  console.log(`${name}: browser's processes' resident memory, peak while reading | +${(peak - before).toFixed(0)} MB | ` +
    `${before.toFixed(0)} MB before | the bare reading's +${bare.growth.toFixed(0)} MB`);
  if (!chromium) {
    await page.close();
    return;
  }
  console.log(`${name}: longest main-thread task while reading | ${longest(loaded)}`);
  // Shift and the wheel scroll the timeline, Ctrl and the wheel zoom it.
  const latency = (zoom) => page.evaluate((ctrlKey) => new Promise((resolve) => {
    const canvas = document.getElementById("timeline");
    const start = performance.now();
    canvas.dispatchEvent(new WheelEvent("wheel", { deltaY: ctrlKey ? -100 : 300, ctrlKey, shiftKey: !ctrlKey,
      bubbles: true, cancelable: true }));
    const frame = () => requestAnimationFrame(() => (window.drawn() ? requestAnimationFrame(() =>
      resolve(performance.now() - start)) : frame()));
    frame();
  }), zoom);
  const scrolls = [];
  const zooms = [];
  for (let i = 0; i < 20; i++) {
    zooms.push(await latency(true));
    scrolls.push(await latency(false));
  }
  const scripts = await scriptTimes(page);
  await page.goto(pathToFileURL(pageHtml).href);
  await settled();
  await page.emulateCPUThrottling(4);
  const slowed = await giveLog(page, log);
  await page.emulateCPUThrottling(1);
  console.log(`${name}: scroll, input to the frame after the drawing | median ${median(scrolls).toFixed(1)} ms, ` +
    `largest ${Math.max(...scrolls).toFixed(1)} ms`);
  console.log(`${name}: zoom, input to the frame after the drawing | median ${median(zooms).toFixed(1)} ms, ` +
    `largest ${Math.max(...zooms).toFixed(1)} ms`);
  for (const [kind, times] of Object.entries(scripts)) {
    const ms = times.map(({ ms }) => ms);
    console.log(`${name}: ${kind}, script time from the input to the drawing done | median ${median(ms).toFixed(1)} ms, ` +
      `largest ${Math.max(...ms).toFixed(1)} ms | frames of drawing: largest ${Math.max(...times.map(({ frames }) => frames))}`);
  }
  console.log(`${name}, main thread slowed 4x: file given to timeline drawn and counts shown | ` +
    `${(slowed.ms / 1000).toFixed(2)} s | ${slowed.counts}, ${slowed.notUnderstood}`);
  console.log(`${name}, main thread slowed 4x: longest main-thread task while reading | ${longest(slowed)}`);
  await page.close();
}
