// What the page's thread holds of a log: the model without its cells, which
// stay with the timeline's drawing (in the worker that read the log, where
// one is made), and the little that the lists and their words need of them,
// with the events list's entries of all maps, which take a long log's every
// event, block and decal to make. A cell's words come from its block's cells,
// asked for one block at a time.

import { eventsOf, kindCounts } from "./eventpages.js";

/** @typedef {import("./logmodel.js").Model} Model */
/**
 * A block's cells, each column indexed by the map; `length` the map lines it expects.
 * @typedef {{ length: number, owner: Uint32Array, decals: Uint8Array, rendered: Uint8Array, flags: Uint8Array,
 *   slot: Uint8Array, present: Uint8Array }} BlockCells
 */
/**
 * The model as the page's thread holds it: its blocks, with the first map of each whose line is missing (the
 * last map where none is); its events, with the owner that each event's cell shows; its execution decals; and
 * the entries of the events list of all maps, with how many of each kind.
 * @typedef {Omit<Model, "cells" | "blocks" | "events"> & {
 *   blocks: Model["blocks"] & { firstMissing: Uint8Array },
 *   events: Model["events"] & { owner: Uint32Array }, listed: { entries: Uint32Array, kinds: number[] } }} PageModel
 */

/**
 * Each column of a table cut to its length, copied: the page's copy of what the drawing keeps too.
 * @template {{ length: number }} T
 * @param {T} table
 * @returns {T}
 */
function copied(table) {
  /** @type {Record<string, unknown>} */
  const columns = { length: table.length };
  for (const [name, column] of Object.entries(table)) {
    if (ArrayBuffer.isView(column)) columns[name] = /** @type {Uint8Array} */ (/** @type {unknown} */ (column)).slice(0, table.length);
  }
  return /** @type {T} */ (columns);
}

/**
 * The page's model of a whole one. Its blocks are a copy, never the model's own, since the drawing keeps those;
 * its events and execution decals are the model's, which the drawing does not need once the summary is made, so
 * that a worker hands them to the page without a copy.
 * @param {Model} model
 * @returns {PageModel}
 */
export function forPage(model) {
  const { blocks, cells, events } = model;
  const firstMissing = new Uint8Array(blocks.length);
  for (let block = 0; block < blocks.length; block++) {
    let map = 0;
    while (map < blocks.expected[block] - 1 && cells.present[blocks.firstCell[block] + map]) map++;
    firstMissing[block] = map;
  }
  const owner = new Uint32Array(events.length);
  for (let e = 0; e < events.length; e++) owner[e] = cells.owner[blocks.firstCell[events.block[e]] + events.map[e]];
  const page = { ...model, blocks: { ...copied(blocks), firstMissing }, events: { ...events, owner },
    mapsSeen: model.mapsSeen.slice(), lastCell: model.lastCell.slice() };
  Reflect.deleteProperty(page, "cells");
  const entries = eventsOf(page, -1);
  return { ...page, listed: { entries, kinds: kindCounts(entries) } };
}

/**
 * A block's cells, copied out of the model's.
 * @param {Model} model
 * @param {number} block
 * @returns {BlockCells}
 */
export function blockCells(model, block) {
  const first = model.blocks.firstCell[block];
  const length = model.blocks.expected[block];
  const { owner, decals, rendered, flags, slot, present } = model.cells;
  const cut = (/** @type {Uint8Array} */ column) => column.slice(first, first + length);
  return { length, owner: owner.slice(first, first + length), decals: cut(decals), rendered: cut(rendered),
    flags: cut(flags), slot: cut(slot), present: cut(present) };
}
