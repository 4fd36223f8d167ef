// The timeline's levels of summary against reading the blocks one by one, on the plug-in's long log and on random
// models: any run of blocks, gathered from the levels, has the same last owner, counts of flags and changed owners
// per row, blocks with each mark, rows where a highlighted owner is, and cells of each owner.
// Environment: CRIMSEL_PAGETESTS (where page_generated_logs wrote its logs).
import assert from "node:assert/strict";
import { test } from "node:test";
import * as Levels from "../../page/levels.js";
import * as LogModel from "../../page/logmodel.js";
import { summarise } from "../../page/summary.js";
import { readLog, referenceLog } from "./Reference.mjs";

/** @param {import("../../page/logmodel.js").Model} model @param {() => number} next @param {number} runs */
function holdsToPlainReading(model, next, runs) {
  const summary = summarise(model);
  const levels = Levels.build(model, summary);
  const { blocks, cells } = model;
  const [events, executions] = [model.events, model.executions].map((t) => new Set(t.block.subarray(0, t.length)));
  const [got, owners] = [Levels.gathered(summary.rows), new Uint32Array(summary.list.length)];
  for (let run = 0; run < runs && blocks.length > 0; run++) {
    const from = run === 0 ? 0 : Math.floor(next() * blocks.length);
    const to = run === 0 ? blocks.length : from + 1 + Math.floor(next() ** 3 * (blocks.length - from));
    const highlight = Math.floor(next() * summary.list.length);
    const plain = { ...Levels.gathered(summary.rows), owners: new Uint32Array(owners.length) };
    for (let block = from; block < to; block++) {
      for (let row = 0; row < Math.min(blocks.expected[block], summary.rows); row++) {
        const cell = blocks.firstCell[block] + row;
        if (!cells.present[cell]) continue;
        plain.owner[row] = summary.ownerOf[cell];
        plain.owners[summary.ownerOf[cell]]++;
        plain.lit[row] |= summary.ownerOf[cell] === highlight ? 1 : 0;
        [1, 2, 4].forEach((bit, f) => (plain.cells[4 * row + f] += cells.flags[cell] & bit ? 1 : 0));
        plain.cells[4 * row + 3] += summary.changed[cell];
      }
      [events.has(block), executions.has(block), !LogModel.whole(model, block), blocks.after[block]]
        .forEach((mark, m) => (plain.blocks[m] += mark ? 1 : 0));
    }
    Levels.gather(model, summary, levels, from, to, got);
    // Made in pieces, as the painter makes it between frames: each piece goes on where the one before stopped.
    const lit = Levels.lit(model, summary, levels, highlight);
    let looks = 0;
    while (!lit.more(() => ++looks % 3 === 0));
    Levels.gatherLit(model, summary, levels, from, to, got, lit);
    Levels.ownerCells(model, summary, levels, from, to, owners);
    assert.deepEqual({ ...got, owners }, plain, `blocks [${from}, ${to}) of ${blocks.length}`);
  }
  return levels;
}

// Park and Miller's generator: the same models from the same seed.
let seed = 20261208;
const next = () => (seed = (seed * 48271) % 2147483647) / 2147483647;

test("any run of the plug-in's long log, gathered from the levels, is what its blocks hold", async () => {
  const { model } = await readLog(referenceLog("games/page_reference-generated"));
  assert.ok(model.blocks.length > 1000 && model.events.length > 0 && model.executions.length > 0);
  const levels = holdsToPlainReading(model, next, 300);
  assert.equal(levels.levels.at(-1)?.span, 2 ** Math.floor(Math.log2(model.blocks.length)));
});

test("any run of random logs, from none to 2,000 blocks, gathered from the levels, is what its blocks hold", () => {
  for (let log = 0; log < 40; log++) {
    // How often flags, changes and missing lines come, and how many blocks.
    const [model, often, count, owner] = [LogModel.create(), next(), 2000 * next() ** 3, new Uint32Array(64)];
    for (let block = 0; block < count; block++) {
      if (next() < often / 4) LogModel.addExecution(model, block, next() < 0.5);
      const mapCount = Math.floor(next() * 70);
      LogModel.addBlock(model, { after: next() < 0.5, manager: 1, mapCount, renderedCount: 0, cleanupTimer: 0 },
        block, block, block);
      for (let index = 0; index < Math.min(mapCount, LogModel.MAX_MAPS); index++) {
        if (next() < often / 10) continue;
        if (next() < often) owner[index] = Math.floor(next() * 40);
        const flags = next() < often ? Math.floor(next() * 256) : 0;
        LogModel.addMap(model, { index, slot: 0, owner: owner[index], decals: 0, rendered: 0, flags }, block);
      }
    }
    holdsToPlainReading(model, next, 40);
  }
});
