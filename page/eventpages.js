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
  return listed.subarray(0, merged(model, 0, listed, 0));
}

/**
 * The entries of all maps of the blocks from one on, and the decals after the last, into `listed` from its
 * entry `length` on.
 * @param {Omit<import("./pagemodel.js").PageModel, "listed">} model
 * @param {number} from
 * @param {Uint32Array} listed
 * @param {number} length
 * @returns {number} the entries' length after them
 */
function merged(model, from, listed, length) {
  const { events, executions } = model;
  const blocks = model.blocks.length;
  let e = firstOf(events, from);
  let x = firstOf(executions, from);
  for (let block = from; block <= blocks; block++) {
    for (; x < executions.length && executions.block[x] <= block; x++) listed[length++] = entryOf(EXECUTION, x);
    for (; e < events.length && events.block[e] <= block; e++) listed[length++] = entryOf(EVENT, e);
    if (block < blocks && !LogModel.whole(model, block)) listed[length++] = entryOf(CUT_OFF, block);
  }
  return length;
}

/**
 * @param {{ length: number, block: Uint32Array }} table rows in the order of their blocks
 * @param {number} block
 * @returns {number} the first row of that block or a later one
 */
export function firstOf(table, block) {
  let [low, high] = [0, table.length];
  while (low < high) {
    const middle = (low + high) >> 1;
    if (table.block[middle] < block) low = middle + 1;
    else high = middle;
  }
  return low;
}

/**
 * The entries of all maps of a model that grew from the block `from` on: those before it as the list had them,
 * then those from it on made again.
 * @param {import("./pagemodel.js").PageModel} model its list as it was before the model grew
 * @param {number} from
 * @returns {Uint32Array}
 */
export function listedFrom(model, from) {
  const before = model.listed.entries;
  let keep = before.length;
  while (keep > 0 && blockOf(model, before[keep - 1]) >= from) keep--;
  const { events, executions } = model;
  const room = keep + (events.length - firstOf(events, from)) + (executions.length - firstOf(executions, from)) +
    model.blocks.length - from;
  const listed = new Uint32Array(room);
  listed.set(before.subarray(0, keep));
  return listed.subarray(0, merged(model, from, listed, keep));
}

/**
 * @param {Omit<import("./pagemodel.js").PageModel, "listed">} model @param {number} entry
 * @returns {number} the block an entry stands at: a decal's, the block after it
 */
function blockOf(model, entry) {
  const index = entryIndex(entry);
  const kind = entryKind(entry);
  return kind === EVENT ? model.events.block[index] : kind === EXECUTION ? model.executions.block[index] : index;
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
