// Which entries the events list holds and how it falls into pages. No DOM, so
// that Node can import it.

import * as LogModel from "./logmodel.js";
import { paging } from "./paging.js";

export const EVENTS_PAGE = 100;

// What an entry of the list is, in its low two bits; the index in its own
// table (an event's, an execution decal's, or the block's) stands above them.
export const EVENT = 0;
export const EXECUTION = 1;
export const CUT_OFF = 2;

/**
 * @param {number} entry
 * @returns {number} EVENT, EXECUTION or CUT_OFF
 */
export const entryKind = (entry) => entry & 3;
/**
 * @param {number} entry
 * @returns {number} the index in the entry's own table
 */
export const entryIndex = (entry) => entry >>> 2;
/** @param {number} kind @param {number} index @returns {number} */
const entryOf = (kind, index) => index * 4 + kind;

/**
 * The entries listed: of all maps (-1), the events, the execution decals and
 * the blocks cut off, merged in the log's order (a decal before the block it
 * stands before, a cut-off after its block's events); of one map, its own
 * events, which the changes of the counts, the decals and the cut-offs, of no
 * map of their own, are not.
 * @param {Omit<import("./pagemodel.js").PageModel, "listed">} model
 * @param {number} map
 * @returns {Uint32Array} the entries, in the log's order
 */
export function eventsOf(model, map) {
  const { events, executions } = model;
  const blocks = model.blocks.length;
  const listed = new Uint32Array(events.length + (map < 0 ? executions.length + blocks : 0));
  let length = 0;
  if (map >= 0) {
    for (let e = 0; e < events.length; e++) {
      const kind = events.kind[e];
      if (kind !== LogModel.MAP_COUNT && kind !== LogModel.RENDERED_COUNT && events.map[e] === map) {
        listed[length++] = entryOf(EVENT, e);
      }
    }
    return listed.subarray(0, length);
  }
  let e = 0;
  let x = 0;
  for (let block = 0; block <= blocks; block++) {
    for (; x < executions.length && executions.block[x] <= block; x++) listed[length++] = entryOf(EXECUTION, x);
    for (; e < events.length && events.block[e] <= block; e++) listed[length++] = entryOf(EVENT, e);
    if (block < blocks && !LogModel.whole(model, block)) listed[length++] = entryOf(CUT_OFF, block);
  }
  return listed.subarray(0, length);
}

/**
 * How many of the entries are events, execution decals and blocks cut off.
 * @param {Uint32Array} entries
 * @returns {number[]} by kind: EVENT, EXECUTION, CUT_OFF
 */
export function kindCounts(entries) {
  const counts = [0, 0, 0];
  for (let i = 0; i < entries.length; i++) counts[entryKind(entries[i])]++;
  return counts;
}

/**
 * The cell that choosing an entry leads to: an event's own; for an execution
 * decal, the block it stands before (the last, for decals after it); for a
 * block cut off, its first map whose line is missing.
 * @param {import("./pagemodel.js").PageModel} model
 * @param {number} entry
 * @returns {{ block: number, map: number }}
 */
export function cellOf(model, entry) {
  const index = entryIndex(entry);
  const kind = entryKind(entry);
  if (kind === EVENT) return { block: model.events.block[index], map: model.events.map[index] };
  if (kind === EXECUTION) return { block: Math.min(model.executions.block[index], model.blocks.length - 1), map: 0 };
  return { block: index, map: model.blocks.firstMissing[index] };
}

export const { count: pageCount, within: pageWithin, range: pageRange } = paging(EVENTS_PAGE);
