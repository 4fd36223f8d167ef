// The log model's events on short logs of the real plug-in's diagnostics, each
// written by the stand-in for one kind of change: what the page lists for each;
// and on the long ones, whole and cut, where the list places decals and cut-offs.
// Environment: CRIMSEL_PAGETESTS (the folder of page_reference.exe, where the
// test that writes these logs put them).
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import { CUT_OFF, EVENT, EXECUTION, cellOf, entryIndex, entryKind } from "../../page/eventpages.js";
import * as LogModel from "../../page/logmodel.js";
import { read } from "../../page/logreading.js";
import { blockCells, forPage } from "../../page/pagemodel.js";
import { cellWords, clock, entryWords } from "../../page/logwords.js";
import { mapName } from "../../page/timelineview.js";
import { executionLine, generator, headerLine, mapLine, stampAt } from "./LogLines.mjs";
import { readLog, referenceLog } from "./Reference.mjs";

const A = 0x0b0a0040;
const { TAKEN, CLEAR_RAISED, CLEAR_DONE, WENT_INACTIVE, MAP_COUNT, RENDERED_COUNT } = LogModel;

// Each log's events as [kind, block, map, from, to].
const LOGS = {
  "owner-freed": [],
  "owner-from-none": [],
  "taken-with-decals": [[TAKEN, 1, 0, A, 5]],
  "needs-clear": [[CLEAR_RAISED, 1, 1, 0, 0], [CLEAR_DONE, 2, 1, 0, 0]],
  "inactive": [[WENT_INACTIVE, 1, 2, 0, 0]],
  "counts": [[MAP_COUNT, 1, 0, 2, 3], [RENDERED_COUNT, 1, 0, 1, 2]],
};

test("each kind of change gives its event and no other", async () => {
  for (const [name, expected] of Object.entries(LOGS)) {
    const { model, notUnderstood } = await readLog(referenceLog(`games/page_reference-event-${name}`));
    assert.equal(notUnderstood, 0, name);
    const e = model.events;
    const events = Array.from({ length: e.length }, (_, i) => [e.kind[i], e.block[i], e.map[i], e.from[i], e.to[i]]);
    assert.deepEqual(events, expected, name);
  }
});

// The events list's entries as the log's lines place them, [kind, block]: a
// decal before the block that follows it; a cut-off where its block's map
// lines stop short, after the block's events (as the model counts them).
/** @param {string[]} lines @param {Uint32Array} eventBlocks */
function entriesOfLines(lines, eventBlocks) {
  const entries = [];
  let [block, missing, e] = [-1, 0, 0];
  for (const message of [...lines, ""].map((line) => line.slice(26))) {
    if (message.startsWith("  map[")) missing--;
    else {
      if (missing > 0) entries.push([CUT_OFF, block]);
      missing = message.startsWith("DamageMapState ") ? Math.min(64, Number(/mapCount=(\d+)/.exec(message)?.[1])) : 0;
      if (message.startsWith("Execution ")) entries.push([EXECUTION, block + 1]);
      if (message.startsWith("DamageMapState ")) for (block++; eventBlocks[e] === block; e++) entries.push([EVENT, block]);
    }
  }
  return entries;
}

test("each execution decal and each block cut off is one entry of the events list, in the log's order", async () => {
  for (const name of ["generated", "quiet"]) {
    const lines = readFileSync(referenceLog(`games/page_reference-${name}`), "latin1").split("\r\n");
    // Some map lines taken out, and the log ended before its last.
    const cut = lines.filter((line, i) => !line.includes("]   map[") || i % 97 !== 0);
    cut.splice(cut.findLastIndex((line) => line.includes("]   map[")));
    for (const log of [lines, cut]) {
      const model = forPage((await read(new Blob([Buffer.from(log.join("\r\n"), "latin1")]), () => {})).model);
      const { events, executions } = model;
      const listed = Array.from(model.listed.entries, (entry) => {
        const [kind, i] = [entryKind(entry), entryIndex(entry)];
        return [kind, kind === EVENT ? events.block[i] : kind === EXECUTION ? executions.block[i] : i];
      });
      assert.deepEqual(listed, entriesOfLines(log, events.block.subarray(0, events.length)), name);
      assert.deepEqual(model.listed.kinds, [EVENT, EXECUTION, CUT_OFF].map((kind) =>
        listed.filter(([listedKind]) => listedKind === kind).length), `${name}: the count of each kind`);
      assert.ok(listed.some(([kind]) => kind === EXECUTION) && (log === lines) !== listed.some(([kind]) => kind === CUT_OFF));
    }
  }
});

// Logs made here of random changes, and windows of the stand-in's long logs (with the run's logs), one step off
// the usual path: map lines left out here and there, and the log cut at any byte. Every entry of the events list
// leads to its own block and map, where the lines show what its words say: an event's cell holds the change
// from the map's last line before; a cut-off block's, the first map whose line is missing, said to be cut off by
// the end of the log when it is the last block, by the next one otherwise; an execution decal's, the block after
// it. Counts in the words agree with their nouns.
test("every entry of the events list leads to its own block and map, and says what cut a block off", async () => {
  const below = generator(2);
  for (let log = 0; log < 300; log++) {
    const lines = log % 3 === 2 && process.env.CRIMSEL_PAGETESTS ? runWindow(below, log) : madeLog(below);
    const leftOut = log % 2 ? 0 : 1 + below(8);
    const kept = lines.map((line) => !(leftOut && line.includes("]   map[") && below(leftOut * 4) === 0));
    const text = lines.filter((_, i) => kept[i]).map((line) => `${line}\r\n`);
    const ends = text.map(((sum) => (line) => (sum += line.length))(0));
    const size = ends.at(-1) ?? 0;
    const at = below(3) ? size : [below(size + 1), ends[below(ends.length)] - below(3)][below(2)];
    const cut = Buffer.from(text.join("").slice(0, at), "latin1");
    const result = await read(new Blob([cut]), () => {});
    holds(result, lines.filter((_, i) => kept[i]).map((line, i) => ({ line, start: ends[i] - line.length - 2 })), at);
  }
});

/**
 * The entries of a log read whole or cut at a byte, against its lines (each with where it starts).
 * @param {import("../../page/logreading.js").Reading} result
 * @param {Array<{ line: string, start: number }>} lines
 * @param {number} at where the log was cut
 */
function holds(result, lines, at) {
  const whole = result.model;
  const model = forPage(whole);
  sharesNothing(model, whole);
  // What is left of each line: a map's whole, a header up to its last number's first digit, an execution decal's
  // up to its texture, which may be any text.
  const read = lines.filter(({ line, start }) => at >= start + (/ texture=/.test(line) ? line.indexOf(" texture=") + 9
    : / cleanupTimer=/.test(line) ? line.lastIndexOf("=") + 2 : line.length)).map(({ line }) => line);
  const headers = read.flatMap((line, i) => (line.includes("] DamageMapState ") ? [i] : []));
  const blocks = headers.map((h, b) => {
    const expected = Math.min(64, Number(/mapCount=(\d+)/.exec(read[h])?.[1]));
    const own = read.slice(h + 1, headers[b + 1]).filter((line) => line.includes("]   map["));
    const maps = own.map((line) => Number(/map\[(\d+)\]/.exec(line)?.[1]));
    const missing = [...Array(expected).keys()].find((m) => !maps.includes(m));
    return { header: read[h], own, maps, missing };
  });
  assert.equal(model.blocks.length, blocks.length);
  const cutOff = blocks.flatMap(({ missing }, b) => (missing === undefined ? [] : [b]));
  assert.equal(result.cutAtEnd, cutOff.at(-1) === blocks.length - 1 && blocks.length > 0);
  /** @param {number} block @param {number} map the map's line there, and its last line before */
  const lineOf = (block, map) => blocks[block].own[blocks[block].maps.indexOf(map)];
  const before = (/** @type {number} */ block, /** @type {number} */ map) => {
    for (let b = block - 1; b >= 0; b--) if (blocks[b].maps.includes(map)) return lineOf(b, map);
    return "";
  };
  const field = (/** @type {string} */ line, /** @type {string} */ name) => /** @type {string} */ (new RegExp(` ${name}=(\\S+)`).exec(line)?.[1]);
  const bit = (/** @type {string} */ line, /** @type {number} */ flag) => (parseInt(field(line, "flags"), 16) & flag) !== 0;
  const executionsBefore = read.flatMap((line, i) => (line.includes("] Execution ") ? [headers.filter((h) => h < i).length] : []));
  const listedCutOffs = [];
  // The page lists them only for a log with blocks.
  for (const entry of blocks.length > 0 ? model.listed.entries : []) {
    const { block, map } = cellOf(model, entry);
    const words = entryWords(model, entry);
    agrees(words);
    assert.ok(words.startsWith(`block ${block + 1} (${clock(model.blocks.time[block])}): `), words);
    const i = entryIndex(entry);
    if (entryKind(entry) === CUT_OFF) {
      listedCutOffs.push(block);
      assert.equal(map, blocks[block].missing, `${words}: leads to the first map missing`);
      assert.match(words, block === blocks.length - 1 ? /: the log ends inside it$/ : /: the next block began before/);
    } else if (entryKind(entry) === EXECUTION) {
      const next = executionsBefore[i];
      assert.equal(block, Math.min(next, blocks.length - 1), words);
      assert.match(words, next < blocks.length ? /: before it, / : /: after it, /);
    } else {
      const kind = model.events.kind[i];
      const [now, then] = kind === MAP_COUNT || kind === RENDERED_COUNT ? [blocks[block].header, blocks[block - 1].header]
        : [lineOf(block, map), before(block, map)];
      assert.ok(now !== undefined && then !== "", `${words}: its map's line, and one before`);
      if (kind < MAP_COUNT) assert.ok(words.includes(`: ${mapName(map)}`), words);
      const changed = {
        [TAKEN]: field(then, "owner") !== field(now, "owner") && words.includes(`(${field(then, "owner")} to ${field(now, "owner")})`),
        [CLEAR_RAISED]: !bit(then, 1) && bit(now, 1), [CLEAR_DONE]: bit(then, 1) && !bit(now, 1),
        [WENT_INACTIVE]: !bit(then, 4) && bit(now, 4),
        [MAP_COUNT]: words.endsWith(`mapCount ${field(then, "mapCount")} to ${field(now, "mapCount")}`),
        [RENDERED_COUNT]: words.endsWith(`renderedCount ${field(then, "renderedCount")} to ${field(now, "renderedCount")}`),
      }[kind];
      assert.ok(changed, `${words}: ${then} then ${now}`);
    }
  }
  assert.deepEqual(listedCutOffs, cutOff);
  // A cell's words, from its block's cells alone, say what its own line says.
  blocks.forEach(({ maps }, block) => maps.forEach((map) => {
    const words = cellWords(blockCells(whole, block), map);
    agrees(words);
    const line = lineOf(block, map);
    assert.ok(words.startsWith(`${mapName(map)}: owner ${field(line, "owner")}, `) &&
      words.includes(` rendered ${field(line, "rendered")}, `), `${words}: ${line}`);
  }));
}

// The page's model is handed over while the drawing keeps the model's blocks
// and cells: not one array of the page's may stand on a buffer of theirs,
// which the handing over would take from the drawing.
/** @param {import("../../page/pagemodel.js").PageModel} page @param {import("../../page/logmodel.js").Model} model */
function sharesNothing(page, model) {
  /** @param {unknown} value @param {Set<ArrayBufferLike>} found @returns {Set<ArrayBufferLike>} */
  const buffers = (value, found = new Set()) => {
    if (ArrayBuffer.isView(value)) found.add(value.buffer);
    else if (value !== null && typeof value === "object") for (const item of Object.values(value)) buffers(item, found);
    return found;
  };
  const kept = buffers([model.blocks, model.cells]);
  assert.ok([...buffers(page)].every((buffer) => !kept.has(buffer)), "the page's model shares a buffer with the model");
  assert.ok(!("cells" in page), "the cells stay with the drawing");
}

// A count and its noun agree: one decal, two decals.
/** @param {string} words */
function agrees(words) {
  for (const [, n, s] of words.matchAll(/\b(\d[\d,]*) (?:decal|event|map line|block|map)(s?)\b/g)) {
    assert.equal(s === "", n === "1", words);
  }
}

/** @param {(n: number) => number} below @returns {string[]} a log of random changes to six maps */
function madeLog(below) {
  const owners = [0, 0x0b0a0040, 0x0b0a0080, 0x0b0a00c0];
  const maps = Array.from({ length: 6 }, () => ({ slot: null, owner: owners[below(4)], decals: below(3), rendered: 0,
    flags: below(8) }));
  const lines = [];
  let mapCount = 1 + below(6);
  for (let b = 0, blocks = 2 + below(12); b < blocks; b++) {
    if (below(4) === 0) mapCount = below(7);
    for (let changes = 1 + below(3); changes > 0; changes--) {
      const m = maps[below(6)];
      [() => (m.owner = owners[below(4)]), () => (m.flags ^= 1 << below(3)), () => (m.decals = below(3))][below(3)]();
    }
    const stamp = stampAt(b * 1000);
    while (below(4) === 0) lines.push(stamp + executionLine(below));
    lines.push(stamp + headerLine(mapCount, below(3), b));
    for (let i = 0; i < mapCount; i++) {
      if (below(10) === 0) lines.push(stamp + executionLine(below));
      lines.push(stamp + mapLine(i, maps[i]));
    }
  }
  while (below(3) === 0) lines.push(stampAt(99999) + executionLine(below));
  return lines;
}

/** @type {string[][]} */
const runLogs = [];
/** @param {(n: number) => number} below @param {number} log @returns {string[]} some blocks of a long log of the run */
function runWindow(below, log) {
  if (runLogs.length === 0) {
    for (const name of ["generated", "quiet"]) {
      runLogs.push(readFileSync(referenceLog(`games/page_reference-${name}`), "latin1").split("\r\n"));
    }
  }
  const lines = runLogs[log % 2];
  let from = below(lines.length - 1000);
  while (!lines[from].includes("] DamageMapState ")) from++;
  return lines.slice(from, from + 150 + below(150));
}
