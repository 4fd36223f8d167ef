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
  /** @type {Map<number, number>} */
  const index = new Map();
  /** @type {number[]} */
  const counts = [];
  const cells = model.cells;
  const ownerOf = new Uint32Array(cells.length);
  const changed = new Uint8Array(cells.length);
  const last = new Int32Array(LogModel.MAX_MAPS).fill(-1);
  for (let block = 0; block < model.blocks.length; block++) {
    const first = model.blocks.firstCell[block];
    for (let map = 0; map < model.blocks.expected[block]; map++) {
      const cell = first + map;
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
        counts.push(0);
      }
      counts[i]++;
      ownerOf[cell] = i;
      if (before >= 0 && !same) changed[cell] = 1;
      last[map] = cell;
    }
  }
  const list = { length: index.size, owner: Uint32Array.from(index.keys()), cells: Uint32Array.from(counts),
    word: new Uint32Array(index.size) };
  list.owner.forEach((owner, i) => {
    const [r, g, b] = owner === 0 ? NULL_OWNER : hsl((i * 137.508) % 360, 0.62, 0.52);
    list.word[i] = rgba(r, g, b);
  });
  return { ownerOf, changed, list };
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
export function marks(model) {
  const bits = new Uint8Array(model.blocks.length + 1);
  for (let e = 0; e < model.events.length; e++) bits[model.events.block[e]] |= EVENT;
  for (let x = 0; x < model.executions.length; x++) bits[model.executions.block[x]] |= EXECUTION;
  for (let block = 0; block < model.blocks.length; block++) if (!LogModel.whole(model, block)) bits[block] |= CUT_OFF;
  return bits;
}

// One row per map index up to the highest that any block showed: none for
// blocks of no maps.
/** @param {import("./logmodel.js").Model} model @returns {number} */
export const rowCount = (model) => model.mapsSeen.lastIndexOf(1) + 1;

// All of it at once, as the reading hands it over with the model.
/** @param {import("./logmodel.js").Model} model @returns {Summary} */
export const summarise = (model) => ({ ...owners(model), marks: marks(model), rows: rowCount(model) });
