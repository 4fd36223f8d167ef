// What the timeline draws, summarised from the log model without touching the
// page: the colour of each owner, where a map's owner changed, the marks of
// each block and the rows. Everything is in typed arrays, so that it can be
// made beside the reading and handed over whole.

import * as LogModel from "./logmodel.js";

/**
 * An owner pointer's colour and how many cells it has.
 * @typedef {{ owner: number, cells: number, css: string, word: number }} Owner
 */
/**
 * The owners as columns, one entry each: a few typed arrays cross to the page
 * at once, where thousands of objects would each be cloned.
 * @typedef {{ length: number, owner: Uint32Array, cells: Uint32Array, word: Uint32Array }} Owners
 */
/**
 * What the timeline draws, as owners() and marks() give it.
 * @typedef {object} Summary
 * @property {Uint32Array} ownerOf per cell, the index of its owner in list
 * @property {Uint8Array} changed per cell, 1 where its map's owner changed
 * @property {Owners} list the owners in the order they first appear
 * @property {Uint8Array} marks per block, its marks' bits, and those after the last block
 * @property {number} rows
 */

/**
 * A colour as a word of little-endian ImageData.
 * @param {number} r
 * @param {number} g
 * @param {number} b
 * @returns {number}
 */
export const rgba = (r, g, b) => (255 << 24) | (b << 16) | (g << 8) | r;
const NULL_OWNER = [150, 150, 150];

// Marks of a block, as bits.
export const EVENT = 1;
export const EXECUTION = 2; // an execution decal logged before the block
export const CUT_OFF = 4;

/**
 * @param {number} hue
 * @param {number} saturation
 * @param {number} lightness
 * @returns {number[]} red, green and blue
 */
function hsl(hue, saturation, lightness) {
  const a = saturation * Math.min(lightness, 1 - lightness);
  /** @param {number} n */
  const f = (n) => {
    const k = (n + hue / 30) % 12;
    return Math.round(255 * (lightness - a * Math.max(-1, Math.min(k - 3, 9 - k, 1))));
  };
  return [f(0), f(8), f(4)];
}

// One colour per owner pointer, in the order the owners first appear; for
// each cell its owner's index and whether the map had another owner in the
// block before that showed it.
/**
 * @param {import("./logmodel.js").Model} model
 * @returns {Pick<Summary, "ownerOf" | "changed" | "list">}
 */
export function owners(model) {
  const { ownerOf, changed, list } = summariser()(model).summary;
  return { ownerOf: ownerOf.subarray(0, model.cells.length), changed: changed.subarray(0, model.cells.length), list };
}

/**
 * What a summariser keeps between calls: the owners by pointer and by index with their cells, each map's last
 * cell, the columns it fills, the blocks summarised for good (`done`), the events and decals marked, and what
 * the open block's owners changed, to undo before it is summarised again.
 * @typedef {{ index: Map<number, number>, byIndex: number[], counts: number[], last: Int32Array,
 *   ownerOf: Uint32Array, changed: Uint8Array, bits: Uint8Array, words: Uint32Array, coloured: number,
 *   done: number, events: number, executions: number,
 *   open: { owners: number, counted: number[], last: Int32Array } | null }} Kept
 */

/**
 * A summary made as the log grows, and kept: each call takes the model as it now is, summarises the blocks from
 * the first that may have changed since the call before (the block still open then, or the first new one), and
 * gives the summary and that block. Owners keep their indices, and so their colours, from call to call. The open
 * block's owners are counted anew at each call, since more of its maps may come.
 * @returns {(model: import("./logmodel.js").Model) => { summary: Summary, from: number }}
 */
export function summariser() {
  /** @type {Kept} */
  const kept = { index: new Map(), byIndex: [], counts: [], last: new Int32Array(LogModel.MAX_MAPS).fill(-1),
    ownerOf: new Uint32Array(0), changed: new Uint8Array(0), bits: new Uint8Array(0), words: new Uint32Array(0),
    coloured: 0, done: 0, events: 0, executions: 0, open: null };
  return (model) => {
    reopen(kept);
    const from = kept.done;
    kept.ownerOf = room(kept.ownerOf, model.cells.length, (n) => new Uint32Array(n));
    kept.changed = room(kept.changed, model.cells.length, (n) => new Uint8Array(n));
    for (let block = from; block < model.blocks.length; block++) {
      if (block === model.open) kept.open = { owners: kept.byIndex.length, counted: [], last: kept.last.slice() };
      else kept.done = block + 1;
      ownersOf(kept, model, block);
    }
    markFrom(kept, model, from);
    return { summary: { ownerOf: kept.ownerOf, changed: kept.changed, list: listed(kept), marks: kept.bits,
      rows: rowCount(model) }, from };
  };
}

// The open block's owners uncounted, as before it was summarised.
/** @param {Kept} kept */
function reopen(kept) {
  const open = kept.open;
  if (!open) return;
  for (const i of open.counted) kept.counts[i]--;
  for (const owner of kept.byIndex.splice(open.owners)) kept.index.delete(owner);
  kept.counts.length = open.owners;
  kept.coloured = Math.min(kept.coloured, open.owners);
  kept.last.set(open.last);
  kept.open = null;
}

/** @param {Kept} kept @param {import("./logmodel.js").Model} model @param {number} block */
function ownersOf(kept, model, block) {
  const { cells } = model;
  const { index, last, ownerOf, changed } = kept;
  const first = model.blocks.firstCell[block];
  for (let map = 0; map < model.blocks.expected[block]; map++) {
    const cell = first + map;
    ownerOf[cell] = 0;
    changed[cell] = 0;
    if (!cells.present[cell]) continue;
    const owner = cells.owner[cell];
    const before = last[map];
    const same = before >= 0 && cells.owner[before] === owner;
    // A map mostly keeps its owner from block to block: its index is the
    // one before, without a look into the map of owners.
    let i = same ? ownerOf[before] : index.get(owner);
    if (i === undefined) {
      i = index.size;
      index.set(owner, i);
      kept.byIndex.push(owner);
      kept.counts.push(0);
    }
    kept.counts[i]++;
    kept.open?.counted.push(i);
    ownerOf[cell] = i;
    if (before >= 0 && !same) changed[cell] = 1;
    last[map] = cell;
  }
}

// The marks of the blocks from the first that changed: the events' and the decals' only ever come, a block
// cut off may yet be whole.
/** @param {Kept} kept @param {import("./logmodel.js").Model} model @param {number} from */
function markFrom(kept, model, from) {
  const bits = (kept.bits = room(kept.bits, model.blocks.length + 1, (n) => new Uint8Array(n)));
  const { events, executions } = model;
  for (; kept.events < events.length; kept.events++) bits[events.block[kept.events]] |= EVENT;
  for (; kept.executions < executions.length; kept.executions++) bits[executions.block[kept.executions]] |= EXECUTION;
  for (let block = from; block < model.blocks.length; block++) {
    bits[block] = LogModel.whole(model, block) ? bits[block] & ~CUT_OFF : bits[block] | CUT_OFF;
  }
}

// The owners as the page shows them; a new owner's colour is made once.
/** @param {Kept} kept @returns {Owners} */
function listed(kept) {
  const length = kept.byIndex.length;
  kept.words = room(kept.words, length, (n) => new Uint32Array(n));
  for (let i = kept.coloured; i < length; i++) {
    const [r, g, b] = kept.byIndex[i] === 0 ? NULL_OWNER : hsl((i * 137.508) % 360, 0.62, 0.52);
    kept.words[i] = rgba(r, g, b);
  }
  kept.coloured = length;
  return { length, owner: Uint32Array.from(kept.byIndex), cells: Uint32Array.from(kept.counts),
    word: kept.words.slice(0, length) };
}

/**
 * A column with room for at least so many entries: itself, or one twice as large with what it held.
 * @template {Uint8Array | Uint32Array} T
 * @param {T} column
 * @param {number} length
 * @param {(length: number) => T} make a column like it
 * @returns {T}
 */
export function room(column, length, make) {
  if (column.length >= length) return column;
  const grown = column.length === 0 ? make(length) : make(Math.max(length, 2 * column.length));
  grown.set(column);
  return grown;
}

/** @param {number} word @returns {string} an ImageData word's colour in CSS */
export const css = (word) => `rgb(${word & 255}, ${(word >>> 8) & 255}, ${(word >>> 16) & 255})`;

/** @param {Owners} list @param {number} i @returns {Owner} an owner of the list */
export const ownerAt = (list, i) => ({ owner: list.owner[i], cells: list.cells[i], css: css(list.word[i]),
  word: list.word[i] });

// The marks of each block: EVENT, EXECUTION and CUT_OFF. The last entry holds
// the execution decals logged after the last block.
/**
 * @param {import("./logmodel.js").Model} model
 * @returns {Uint8Array}
 */
export const marks = (model) => summariser()(model).summary.marks.subarray(0, model.blocks.length + 1);

// One row per map index up to the highest that any block showed: none for
// blocks of no maps.
/** @param {import("./logmodel.js").Model} model @returns {number} */
export const rowCount = (model) => model.mapsSeen.lastIndexOf(1) + 1;

// All of it at once, as the reading hands it over with the model.
/** @param {import("./logmodel.js").Model} model @returns {Summary} */
export function summarise(model) {
  const { summary } = summariser()(model);
  const cells = model.cells.length;
  return { ...summary, ownerOf: summary.ownerOf.subarray(0, cells), changed: summary.changed.subarray(0, cells),
    marks: summary.marks.subarray(0, model.blocks.length + 1) };
}
