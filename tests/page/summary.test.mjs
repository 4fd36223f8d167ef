// What the timeline draws of a long generated log, summarised without a page,
// against the stand-in's record of what it set: every cell's colour is its own
// owner's, a changed owner marks exactly the cells where it changed, execution
// decals mark exactly the blocks they stand before, and there is one row per
// map index that a block showed.
// Environment: CRIMSEL_PAGETESTS (the folder of page_reference.exe, where the
// test that writes these logs put them).
import assert from "node:assert/strict";
import { test } from "node:test";
import { marks, ownerAt, owners, rowCount } from "../../page/summary.js";
import { generatedRecord, readLog, referenceLog } from "./Reference.mjs";

test("the timeline's summary of a long log follows the stand-in's record", async () => {
  const { blocks, executions } = generatedRecord();
  const { model } = await readLog(referenceLog("games/page_reference-generated"));

  const { ownerOf, changed, list } = owners(model);
  const cellOwners = blocks.flatMap((block) => block.maps.map((map) => map.owner));
  assert.deepEqual(cellOwners.map((_, cell) => list.owner[ownerOf[cell]]), cellOwners);
  // A cell is marked where its map's owner differs from the one in the last block that showed the map.
  /** @type {number[]} */
  const last = [];
  const moved = blocks.flatMap((block) => block.maps.map((map, i) => {
    const before = last[i];
    last[i] = map.owner;
    return before !== undefined && before !== map.owner ? 1 : 0;
  }));
  assert.deepEqual([...changed], moved);
  assert.ok(moved.includes(1));
  assert.equal(list.cells.reduce((sum, cells) => sum + cells, 0), cellOwners.length);
  assert.equal(new Set(cellOwners).size, list.length);
  assert.equal(ownerAt(list, list.owner.indexOf(0)).css, "rgb(150, 150, 150)", "no owner in grey");

  const bits = marks(model);
  const marked = [...bits.keys()].filter((block) => bits[block] & 2);
  assert.deepEqual(marked, [...new Set(executions.map(([before]) => before))]);
  assert.equal(rowCount(model), Math.max(...blocks.map((block) => block.maps.length)));
});
