// Logs that the real plug-in wrote in this run, given to the page's log input:
// what the page must say of each start-up, how many blocks and maps its
// timeline holds and which events it lists; every log of the run understood
// whole; bad input answered with a clear message, and text from a log shown
// as text only.
import assert from "node:assert/strict";
import { readFileSync, readdirSync, statSync } from "node:fs";
import { dirname, join } from "node:path";
import { test } from "node:test";
import { browserSession, giveLog, reference, referenceProgram, scratchFolder, writeFiles } from "./PageDriver.mjs";

const bin = dirname(dirname(referenceProgram));
const [oversized, stopped] = reference("logs").map(({ folder }) => folder.replace(/^Z:/, ""));

// A log, what the start-up part must say, the timeline's counts and its events.
const LOGS = [
  {
    log: "games/scene/Crimsel.log", counts: "4 blocks, 2 maps", executions: "9 execution decals",
    startup: ["The decal colour patch is installed: decals are drawn in 200/10/40 with alpha 255",
      "The execution blood decal fix is installed", "The damage-map diagnostics are installed",
      "The stale damage-map fix is installed", "Interactive executions are on"],
    events: ["renderedCount 1 to 2", "map[00]: needsClear raised", "map[01] went inactive"],
  },
  {
    log: "games/scene-another-build/Crimsel.log", counts: "0 blocks, 0 maps",
    startup: ["not the version of the game that the plug-in is made for (call at 0x005AD857 leads to 0x0059A1B0"],
  },
  {
    log: "games/scene-another-plugin/Crimsel.log", counts: "0 blocks, 0 maps",
    startup: ["The decal colour and opacity patch (PatchBloodDecalColorAndAlpha) is not installed: another plug-in " +
      "(PeerHooks.dll) put a jump", "The stale damage-map fix (FixStaleDamageMapDecals) is not installed: another " +
      "plug-in (PeerHooks.dll) put a call"],
  },
  {
    log: "games/CallSiteTest.AHookPutOverOursAfterTheFirstStartIsLeftAsItIs/Crimsel.log", counts: "1 blocks, 0 maps",
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
  { log: join(stopped, "Crimsel.log"), startup: ["The plug-in's start-up stopped on an error (std::bad_alloc)"] },
];

const session = browserSession();
const found = (list, expected) => list.some((item) => item.includes(expected));

test("each log's start-up in words beside its lines, its blocks, maps and events", async () => {
  const page = await session.open();
  for (const entry of LOGS) {
    const path = entry.log.startsWith("/") ? entry.log : join(bin, entry.log);
    const shown = await giveLog(page, path, "Crimsel.log");
    const name = entry.log.split("/").slice(-2, -1)[0];
    assert.equal(shown.notUnderstood, "0 lines not understood", name);
    assert.deepEqual(shown.problems, [], name);
    const lines = readFileSync(path, "latin1").split("\r\n");
    assert.ok(shown.lines.every((line) => lines.includes(line)), `${name}: each sentence beside its line`);
    for (const words of entry.startup || []) assert.ok(found(shown.startup, words), `${name}: "${words}"`);
    if (entry.counts) assert.equal(shown.counts, entry.counts, name);
    if (entry.executions) assert.equal(shown.executions, entry.executions, name);
    for (const words of entry.events || []) assert.ok(found(shown.events, words), `${name}: event "${words}"`);
  }
  assert.deepEqual(session.errors, []);
});

test("an event leads to its block, whose lines show as they stand in the log", async () => {
  const path = join(bin, "games/scene/Crimsel.log");
  const page = await session.open();
  const shown = await giveLog(page, path, "Crimsel.log");
  const event = shown.events.findIndex((words) => words.includes("needsClear raised"));
  await page.click(`#log-events li:nth-child(${event + 1}) button`);
  await page.waitForFunction(() => document.querySelector("#block-lines .selected") !== null);
  const block = Number(/^block (\d+)/.exec(shown.events[event])[1]);
  const lines = readFileSync(path, "latin1").split("\r\n");
  const header = lines.filter((line) => line.includes("] DamageMapState "))[block - 1];
  const count = Number(/mapCount=(\d+)/.exec(header)[1]);
  const start = lines.indexOf(header);
  const own = lines.slice(start, start + 1 + count);
  assert.deepEqual(await page.$$eval("#block-lines div", (shownLines) => shownLines.map((line) => line.textContent)), own);
  assert.equal(await page.$eval("#block-lines .selected", (line) => line.textContent), own.find((line) =>
    line.includes("  map[00] ")));
  assert.match(await page.$eval("#cell-detail", (detail) => detail.textContent), /^map\[00\]: .*\(needsClear\)/);
});

test("every log that the plug-in wrote in this run is understood whole", async () => {
  const logs = [];
  const walk = (folder) => {
    for (const name of readdirSync(folder)) {
      const path = join(folder, name);
      if (name === "wineprefix") continue;
      if (statSync(path).isDirectory()) walk(path);
      else if (name === "Crimsel.log") logs.push(path);
    }
  };
  walk(bin);
  const page = await session.open();
  let checked = 0;
  for (const log of logs) {
    const shown = await giveLog(page, log, "Crimsel.log");
    // A file that the tests planted where logging stays off holds no line of the plug-in's.
    if (shown.startup.length === 0 && shown.counts === "0 blocks, 0 maps" && shown.executions === "0 execution decals") {
      continue;
    }
    checked++;
    assert.equal(shown.notUnderstood, "0 lines not understood", log);
  }
  assert.ok(checked >= 80, `${checked} logs of the plug-in's`);
});

test("bad input gets a clear message, and a log's text is only ever text", async () => {
  const scene = readFileSync(join(bin, "games/scene/Crimsel.log"));
  const lines = scene.toString("latin1").split("\r\n");
  const header = lines.findIndex((line) => line.includes("DamageMapState"));
  const markup = "[2026-12-08 20:00:00.000] <img src=x onerror=\"document.title='ran'\"><script>document.title='ran'</script>";
  const earlier = lines.map((line, i) => (i === lines.findLastIndex((l) => l.includes("DamageMapState"))
    ? `[1999-01-01 00:00:00.000]${line.slice(25)}` : line));
  const execution = lines.find((line) => line.includes("Execution victim decal"));
  const interleaved = [...lines.slice(0, header + 2), execution, ...lines.slice(header + 2)];
  const cases = [
    { name: "interleaved.log", bytes: Buffer.from(interleaved.join("\r\n"), "latin1"),
      notUnderstood: "0 lines not understood", counts: "4 blocks, 2 maps", executions: "10 execution decals" },
    { name: "empty.log", bytes: Buffer.alloc(0), problem: "The file is empty" },
    { name: "binary.log", bytes: Buffer.from([0x89, 0x50, 0x4e, 0x47, 0, 0, 0, 13, 10, 0xff]), problem: "holds NUL bytes" },
    { name: "utf16.log", bytes: Buffer.from(`\ufeff${scene.toString("latin1")}`, "utf16le"), problem: "holds NUL bytes" },
    { name: "Vorlaine.Crimsel.ini", bytes: readFileSync(join(bin, "games/scene/Vorlaine.Crimsel.ini")),
      problem: "This is not a Crimsel.log" },
    { name: "cut.log", bytes: Buffer.from(lines.slice(0, header + 2).join("\r\n"), "latin1"), problem: "cut off",
      counts: "1 blocks, 1 maps" },
    { name: "backwards.log", bytes: Buffer.from(earlier.join("\r\n"), "latin1"), problem: "run backwards 1 times",
      counts: "4 blocks, 2 maps" },
    { name: "long-line.log", bytes: Buffer.concat([scene, Buffer.alloc(10 << 20, "x")]),
      notUnderstood: "1 lines not understood", counts: "4 blocks, 2 maps" },
    { name: "markup.log", bytes: Buffer.from(`${scene.toString("latin1")}${markup}\r\n`, "latin1"),
      notUnderstood: "1 lines not understood", counts: "4 blocks, 2 maps" },
  ];
  const folder = scratchFolder();
  const paths = writeFiles(folder, cases);
  const page = await session.open();
  for (const [i, c] of cases.entries()) {
    const shown = await giveLog(page, paths[i], c.name);
    if (c.problem) assert.ok(found(shown.problems, c.problem), `${c.name}: ${shown.problems}`);
    if (c.counts) assert.equal(shown.counts, c.counts, c.name);
    if (c.notUnderstood) assert.equal(shown.notUnderstood, c.notUnderstood, c.name);
    if (c.executions) assert.equal(shown.executions, c.executions, c.name);
  }
  await page.click("#log-show-unknown");
  await page.waitForFunction(() => !document.getElementById("log-unknown").hidden);
  assert.equal(await page.$eval("#log-unknown", (shown) => shown.textContent), markup);
  assert.equal(await page.$$eval("#log-report img, #log-report script", (made) => made.length), 0);
  assert.equal(await page.title(), "Vorlaine.Crimsel: blood decal colour and settings");
  assert.deepEqual(session.errors, []);
  assert.deepEqual(session.foreignRequests, []);
});
