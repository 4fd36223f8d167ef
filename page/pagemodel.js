// What the page's thread holds of a log: the model without its cells, which
// stay with the timeline's drawing (in the worker that read the log, where
// one is made), and the little that the lists and their words need of them,
// with the events list's entries of all maps, which take a long log's every
// event, block and decal to make. A cell's words come from its block's cells,
// asked for one block at a time.

import { eventsOf, firstOf, kindCounts, listedFrom } from "./eventpages.js";

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
 * The page's model of a whole one. Its tables are copies, never the model's own, which the reading keeps
 * adding to as the log grows.
 * @param {Model} model
 * @returns {PageModel}
 */
export function forPage(model) {
  const { blocks, events } = model;
  const firstMissing = missing(model, 0);
  const owner = owners(model, 0);
  const page = { ...model, blocks: { ...copied(blocks), firstMissing }, events: { ...copied(events), owner },
    executions: copied(model.executions), mapsSeen: model.mapsSeen.slice(), lastCell: model.lastCell.slice() };
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

/**
 * From a block on, the first map of each whose line is missing (the last map where none is).
 * @param {Model} model @param {number} from
 */
function missing({ blocks, cells }, from) {
  const firstMissing = new Uint8Array(blocks.length - from);
  for (let block = from; block < blocks.length; block++) {
    let map = 0;
    while (map < blocks.expected[block] - 1 && cells.present[blocks.firstCell[block] + map]) map++;
    firstMissing[block - from] = map;
  }
  return firstMissing;
}

/**
 * From an event on, the owner that each event's cell shows.
 * @param {Model} model @param {number} from
 */
function owners({ blocks, cells, events }, from) {
  const owner = new Uint32Array(events.length - from);
  for (let e = from; e < events.length; e++) owner[e - from] = cells.owner[blocks.firstCell[events.block[e]] + events.map[e]];
  return owner;
}

/**
 * What the page's model lacks of a log that grew: its blocks from the first that changed, its events from the
 * first in those blocks (`eventsFrom`: a block's own events come with its header, before the map lines that give
 * their cells' owners), and its execution decals after those the page has, as copies.
 * @typedef {{ from: number, eventsFrom: number, blocks: PageModel["blocks"], events: PageModel["events"],
 *   executions: Model["executions"], mapsSeen: Uint8Array, lastCell: Int32Array, backwards: number,
 *   open: number }} Growth
 */

/**
 * @template {{ length: number }} T
 * @param {T} table @param {number} from
 * @returns {T} the table's rows from one on, copied
 */
function rowsFrom(table, from) {
  /** @type {Record<string, unknown>} */
  const rows = { length: table.length - from };
  for (const [name, column] of Object.entries(table)) {
    if (ArrayBuffer.isView(column)) rows[name] = /** @type {Uint8Array} */ (/** @type {unknown} */ (column)).slice(from, table.length);
  }
  return /** @type {T} */ (rows);
}

/**
 * What the page lacks of a model that grew.
 * @param {Model} model
 * @param {{ blocks: number, events: number, executions: number }} had the page's block from which on they may
 *   have changed (the one open, or the first new one), its events and execution decals
 * @returns {Growth}
 */
export function growth(model, had) {
  const eventsFrom = Math.min(had.events, firstOf(model.events, had.blocks));
  return { from: had.blocks, eventsFrom,
    blocks: { ...rowsFrom(model.blocks, had.blocks), firstMissing: missing(model, had.blocks) },
    events: { ...rowsFrom(model.events, eventsFrom), owner: owners(model, eventsFrom) },
    executions: rowsFrom(model.executions, had.executions), mapsSeen: model.mapsSeen.slice(),
    lastCell: model.lastCell.slice(), backwards: model.backwards, open: model.open };
}

/**
 * A table's rows written from one on, its columns made larger (twice, at least) where they lack room.
 * @param {Record<string, unknown> & { length: number }} table
 * @param {number} from
 * @param {Record<string, unknown> & { length: number }} rows
 */
function writeRows(table, from, rows) {
  const length = from + rows.length;
  for (const [name, column] of Object.entries(rows)) {
    if (!ArrayBuffer.isView(column)) continue;
    const given = /** @type {Uint8Array} */ (/** @type {unknown} */ (column));
    let own = /** @type {Uint8Array} */ (table[name]);
    if (own.length < length) {
      const made = new /** @type {Uint8ArrayConstructor} */ (own.constructor)(Math.max(length, 2 * own.length));
      made.set(own.subarray(0, from));
      table[name] = own = made;
    }
    own.set(given, from);
  }
  table.length = length;
}

/**
 * The page's model grown as a worker said, in place; its events list's entries of all maps made again from the
 * first block that changed.
 * @param {PageModel} page
 * @param {Growth} grown
 */
export function grow(page, grown) {
  writeRows(page.blocks, grown.from, grown.blocks);
  writeRows(page.events, grown.eventsFrom, grown.events);
  writeRows(page.executions, page.executions.length, grown.executions);
  Object.assign(page, { mapsSeen: grown.mapsSeen, lastCell: grown.lastCell, backwards: grown.backwards,
    open: grown.open });
  const entries = listedFrom(page, grown.from);
  page.listed = { entries, kinds: kindCounts(entries) };
}
