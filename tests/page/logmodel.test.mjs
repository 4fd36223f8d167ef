// The log model's events on short logs of the real plug-in's diagnostics, each
// written by the stand-in for one kind of change: what the page lists for each;
// and on the long ones, whole and cut, where the list places decals and cut-offs.
// Environment: CRIMSEL_PAGETESTS (the folder of page_reference.exe, where the
// test that writes these logs put them).
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import { CUT_OFF, EVENT, EXECUTION, entryIndex, entryKind, eventsOf } from "../../page/eventpages.js";
import * as LogModel from "../../page/logmodel.js";
import { read } from "../../page/logreading.js";
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
      const { model } = await read(new Blob([Buffer.from(log.join("\r\n"), "latin1")]), () => {});
      const { events, executions } = model;
      const listed = Array.from(eventsOf(model, -1), (entry) => {
        const [kind, i] = [entryKind(entry), entryIndex(entry)];
        return [kind, kind === EVENT ? events.block[i] : kind === EXECUTION ? executions.block[i] : i];
      });
      assert.deepEqual(listed, entriesOfLines(log, events.block.subarray(0, events.length)), name);
      assert.ok(listed.some(([kind]) => kind === EXECUTION) && (log === lines) !== listed.some(([kind]) => kind === CUT_OFF));
    }
  }
});
