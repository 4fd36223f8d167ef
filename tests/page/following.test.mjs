// A log read in pieces, as the page reads a log that the game is still writing:
// cut at any bytes into any number of pieces and read piece by piece, after
// each piece it gives the model, summary, levels and events list that reading
// the file whole up to its last line end gives; after all of them and the
// file's end, those of the whole file. A reading that ended on a line without
// its line end goes on as the file grows as if it had never ended.
import assert from "node:assert/strict";
import { test } from "node:test";
import * as Levels from "../../page/levels.js";
import * as LogModel from "../../page/logmodel.js";
import * as LogReading from "../../page/logreading.js";
import * as PageModel from "../../page/pagemodel.js";
import { forPage } from "../../page/pagemodel.js";
import { summarise, summariser } from "../../page/summary.js";
import { STAMP, executionLine, headerLine, mapLine, stampAt } from "./LogLines.mjs";
import { seeded } from "./Seeded.mjs";

const START = ["Logger initialized", "InitializeASI", "Settings: FixExecutionBloodDecals=1 " +
  "PatchBloodDecalColorAndAlpha=1 FixStaleDamageMapDecals=1 EnableLogging=1 LogDamageMapDiagnostics=1 " +
  "LogExecutionDecals=1 RGB/A=120,0,0,200", "Installing CharacterDamageManager diagnostics hook at call 0x00401000"];

/**
 * A log of start-up lines, blocks whose maps change owners and flags, some cut off, execution decals and lines
 * that nothing fits, with either line end.
 * @param {ReturnType<typeof seeded>} random
 * @returns {Uint8Array<ArrayBuffer>}
 */
function generatedLog(random) {
  const lines = START.map((line) => STAMP + line);
  const owners = [0, 0x1000000, 0x2000000, 0x3000000, 0x4000000, 0x5000000];
  /** @type {import("./LogLines.mjs").MapState[]} */
  const maps = Array.from({ length: 1 + random.below(6) }, () => ({ slot: null, owner: 0, decals: 0, rendered: 0,
    flags: 0 }));
  let time = 0;
  for (let block = 0, blocks = 20 + random.below(random.chance(30) ? 200 : 40); block < blocks; block++) {
    time += random.below(3) === 0 ? -5 : 40;
    if (random.chance(15)) lines.push(stampAt(time) + executionLine(random.below));
    if (random.chance(10)) maps.push({ slot: 1, owner: random.pick(owners), decals: 1, rendered: 0, flags: 0 });
    if (random.chance(5)) lines.push(`${stampAt(time)}Something else ${random.below(99)}`);
    lines.push(stampAt(time) + headerLine(maps.length, random.below(maps.length + 1), random.below(9), random.chance(50)));
    const shown = random.chance(10) ? random.below(maps.length) : maps.length;
    for (const [index, map] of maps.slice(0, shown).entries()) {
      if (random.chance(30)) map.owner = random.pick(owners);
      if (random.chance(20)) map.flags = random.below(8);
      map.decals = random.below(30);
      lines.push(stampAt(time) + mapLine(index, map));
    }
  }
  const text = lines.map((line) => line + (random.chance(90) ? "\r\n" : "\n")).join("");
  return Uint8Array.from(text, (c) => c.charCodeAt(0));
}

/** @param {{ length: number }} table @returns {Record<string, number[]>} its columns, each cut to its length */
function columns(table) {
  return Object.fromEntries(Object.entries(table).filter(([, column]) => ArrayBuffer.isView(column))
    .map(([name, column]) => [name, Array.from(/** @type {Uint8Array} */ (/** @type {unknown} */ (column))
      .subarray(0, table.length))]));
}

/** @param {import("../../page/logreading.js").Reading} result what a reading gives, as plain values */
function plain(result) {
  const model = LogModel.withoutAdd(result.model);
  const { blocks, cells, events, executions } = model;
  return {
    counts: [result.lines, result.notUnderstood, result.nulBytes, result.cutAtEnd, result.diagnostics,
      model.backwards, model.open],
    offsets: result.notUnderstoodOffsets, startup: result.startup.map((line) => line.offset),
    blocks: columns(blocks), cells: columns(cells), events: columns(events), executions: columns(executions),
    maps: [Array.from(model.mapsSeen), Array.from(model.lastCell)],
    listed: Array.from(forPage(model).listed.entries),
  };
}

/**
 * What the timeline draws from a summary and its levels, as plain values: each cell's owner and change, the owners,
 * each block's marks, the levels' spans, and what gathering some runs of blocks gives.
 * @param {import("../../page/logmodel.js").Model} model
 * @param {import("../../page/summary.js").Summary} summary
 * @param {Levels.Levels} levels
 */
function drawn(model, summary, levels) {
  const cells = model.cells.length;
  const blocks = model.blocks.length;
  const runs = [[0, blocks], [1, blocks], [Math.floor(blocks / 3), blocks - 2], [blocks - 1, blocks]]
    .filter(([from, to]) => from >= 0 && from < to);
  const owners = new Uint32Array(summary.list.length);
  const got = Levels.gathered(summary.rows);
  return {
    ownerOf: Array.from(summary.ownerOf.subarray(0, cells)), changed: Array.from(summary.changed.subarray(0, cells)),
    list: [summary.list.owner, summary.list.cells, summary.list.word].map((c) => Array.from(c)),
    marks: Array.from(summary.marks.subarray(0, blocks + 1)), rows: summary.rows,
    levels: levels.levels.map((l) => [l.span, l.count, Array.from(l.owner.subarray(0, l.count * summary.rows)),
      Array.from(l.cells.subarray(0, 4 * l.count * summary.rows)), Array.from(l.blocks.subarray(0, 4 * l.count))]),
    runs: runs.map(([from, to]) => {
      Levels.ownerCells(model, summary, levels, from, to, owners);
      Levels.gather(model, summary, levels, from, to, got);
      return [Array.from(owners), Array.from(got.owner), Array.from(got.cells), Array.from(got.blocks)];
    }),
  };
}

/** @param {Uint8Array<ArrayBuffer>} bytes @returns {Promise<import("../../page/logreading.js").Reading>} read whole */
const whole = (bytes) => LogReading.read(new Blob([bytes]), () => {});

/**
 * What the page's thread holds of a log, as plain values: its blocks with their first missing maps, its events with
 * their owners, its execution decals, the events list's entries and their kinds.
 * @param {PageModel.PageModel} page
 */
const onPage = (page) => ({ blocks: columns(page.blocks), events: columns(page.events),
  executions: columns(page.executions), listed: [Array.from(page.listed.entries), page.listed.kinds],
  maps: [Array.from(page.mapsSeen), Array.from(page.lastCell)], counts: [page.backwards, page.open] });

/**
 * What reading the bytes whole gives, and what the timeline draws of it.
 * @param {Uint8Array<ArrayBuffer>} bytes
 */
async function wholeReading(bytes) {
  const result = await whole(bytes);
  const model = LogModel.withoutAdd(result.model);
  const summary = summarise(model);
  return { read: plain(result), drawn: drawn(model, summary, Levels.build(model, summary)), page: onPage(forPage(model)) };
}

/**
 * A reading that goes on piece by piece, with its summary and levels kept, and the page's model grown from what
 * the worker posts of each look, as it crosses: cloned.
 */
function following() {
  const state = LogReading.begin(0);
  const summarise = summariser();
  /** @type {Levels.Levels | null} */
  let levels = null;
  /** @type {PageModel.PageModel | null} */
  let page = null;
  return {
    state,
    /** @param {Uint8Array} piece */
    take(piece) {
      LogReading.take(state, piece);
      return this.looked();
    },
    looked() {
      const model = LogModel.withoutAdd(state.result.model);
      const { summary, from } = summarise(model);
      levels = Levels.grown(levels, model, summary, from);
      if (page) {
        const had = { blocks: from, events: page.events.length, executions: page.executions.length };
        PageModel.grow(page, structuredClone(PageModel.growth(model, had)));
      } else page = structuredClone(forPage(model));
      return { read: plain(state.result), drawn: drawn(model, summary, levels), page: onPage(page) };
    },
  };
}

/** @param {ReturnType<typeof seeded>} random @param {number} length @returns {number[]} the cuts, in order */
function cuts(random, length) {
  const count = random.below(random.chance(20) ? 40 : 8);
  return [...new Set(Array.from({ length: count }, () => random.below(length + 1)))].sort((a, b) => a - b);
}

test("a log read in pieces cut at any bytes gives, after each piece, what its lines read whole give", async () => {
  const random = seeded(31);
  for (let trial = 0; trial < 60; trial++) {
    const bytes = generatedLog(random);
    const reading = following();
    let at = 0;
    for (const cut of [...cuts(random, bytes.length), bytes.length]) {
      const looked = reading.take(bytes.subarray(at, cut));
      at = cut;
      const lineEnd = bytes.subarray(0, cut).lastIndexOf(10) + 1;
      assert.deepEqual(looked, await wholeReading(bytes.subarray(0, lineEnd)), `trial ${trial}, cut at ${cut}`);
    }
    LogReading.end(reading.state);
    assert.deepEqual(reading.looked(), await wholeReading(bytes), `trial ${trial}, at the end`);
  }
});

test("a reading that ended in the middle of a line goes on as the file grows, as if it had not ended", async () => {
  const random = seeded(32);
  for (let trial = 0; trial < 60; trial++) {
    const bytes = generatedLog(random);
    const cut = random.below(bytes.length + 1);
    const state = await LogReading.reading(new Blob([bytes.subarray(0, cut)]), () => {});
    assert.deepEqual(plain(state.result), plain(await whole(bytes.subarray(0, cut))), `trial ${trial}, ended`);
    LogReading.goOn(state);
    const rest = bytes.subarray(cut);
    const middle = cut + random.below(rest.length + 1);
    LogReading.take(state, bytes.subarray(cut, middle));
    LogReading.take(state, bytes.subarray(middle));
    LogReading.end(state);
    assert.deepEqual(plain(state.result), plain(await whole(bytes)), `trial ${trial}, cut at ${cut}`);
  }
});

test("owners keep their colours as the log grows, and a new owner is added after them", async () => {
  const random = seeded(33);
  const bytes = generatedLog(random);
  const reading = following();
  const half = bytes.subarray(0, bytes.length >> 1).lastIndexOf(10) + 1;
  const before = reading.take(bytes.subarray(0, half)).drawn.list;
  const after = reading.take(bytes.subarray(half)).drawn.list;
  assert.ok(after[0].length >= before[0].length);
  // The pointers and colours, not the cells, which the new blocks add to.
  for (const c of [0, 2]) assert.deepEqual(after[c].slice(0, before[c].length), before[c]);
});
