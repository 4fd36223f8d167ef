// What the timeline draws of a long generated log, summarised without a page,
// against the stand-in's record of what it set: every cell's colour is its own
// owner's, execution decals mark exactly the blocks they stand before, and
// there is one row per map index that a block showed.
// Environment: CRIMSEL_PAGETESTS (the folder of page_reference.exe, where the
// test that writes these logs put them).
import assert from "node:assert/strict";
import { openAsBlob, readFileSync } from "node:fs";
import { join } from "node:path";
import { test } from "node:test";
import { read } from "../../page/logreading.js";
import { marks, owners, rowCount } from "../../page/summary.js";

test("the timeline's summary of a long log follows the stand-in's record", async () => {
  const folder = join(process.env.CRIMSEL_PAGETESTS, "generated");
  const record = readFileSync(join(folder, "record.jsonl"), "utf8").trim().split("\n").map(JSON.parse);
  const { model } = await read(await openAsBlob(join(folder, "Crimsel.log")), () => {});
  const blocks = record.filter((entry) => entry.block).map((entry) => entry.block);

  const { ownerOf, list } = owners(model);
  const cellOwners = blocks.flatMap((block) => block.maps.map((map) => map.owner));
  assert.deepEqual(cellOwners.map((_, cell) => list[ownerOf[cell]].owner), cellOwners);
  assert.equal(list.reduce((sum, owner) => sum + owner.cells, 0), cellOwners.length);
  assert.equal(new Set(cellOwners).size, list.length);
  assert.equal(list.find((owner) => owner.owner === 0).css, "rgb(150, 150, 150)", "no owner in grey");

  const executionBlocks = new Set();
  record.reduce((before, entry) => {
    if (entry.execution) executionBlocks.add(before);
    return before + (entry.block ? 1 : 0);
  }, 0);
  const bits = marks(model);
  assert.deepEqual([...bits.keys()].filter((block) => bits[block] & 2), [...executionBlocks]);
  assert.equal(rowCount(model), Math.max(...blocks.map((block) => block.maps.length)));
});
