// The log model's events on short logs of the real plug-in's diagnostics, each
// written by the stand-in for one kind of change: what the page lists for each.
// Environment: CRIMSEL_PAGETESTS (the folder of page_reference.exe, where the
// test that writes these logs put them).
import assert from "node:assert/strict";
import { test } from "node:test";
import * as LogModel from "../../page/logmodel.js";
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
