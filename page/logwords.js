// What the log part says, in words: an event, a cell, a block, the problems
// of a file, an execution decal, the legend and the counts. No DOM, so that
// Node can import it.

import { CUT_OFF, EXECUTION, entryIndex, entryKind } from "./eventpages.js";
import * as LogModel from "./logmodel.js";
import { mapName } from "./timelineview.js";

/** @typedef {import("./logmodel.js").Model} Model */

/**
 * A pointer as the log writes it: eight upper-case hex digits.
 * @param {number} word
 * @returns {string}
 */
export const hex = (word) => word.toString(16).toUpperCase().padStart(8, "0");

/**
 * A time stamp's time of day, to the millisecond.
 * @param {number} ms
 * @returns {string}
 */
export const clock = (ms) => new Date(ms).toISOString().slice(11, 23);

/**
 * A count with its thousands apart: 12,345.
 * @param {number} n
 * @returns {string}
 */
export const count = (n) => String(n).replace(/\B(?=(\d{3})+$)/g, ",");

/**
 * A count and its noun, one or many.
 * @param {number} n
 * @param {string} noun
 * @returns {string}
 */
export const some = (n, noun) => `${count(n)} ${noun}${n === 1 ? "" : "s"}`;

/**
 * @param {Model} model
 * @param {number} e an event's index
 * @returns {string}
 */
export function eventWords(model, e) {
  const events = model.events;
  const block = events.block[e];
  const map = events.map[e];
  const from = events.from[e];
  const to = events.to[e];
  const name = mapName(map);
  const owner = () => hex(model.cells.owner[model.blocks.firstCell[block] + map]);
  /** @type {Record<number, () => string>} */
  const what = {
    [LogModel.TAKEN]: () => `${name} taken by another owner (${hex(from)} to ${owner()}) with ${to} decals still on it`,
    [LogModel.CLEAR_RAISED]: () => `${name}: needsClear raised`,
    [LogModel.CLEAR_DONE]: () => `${name}: needsClear cleared`,
    [LogModel.WENT_INACTIVE]: () => `${name} went inactive`,
    [LogModel.MAP_COUNT]: () => `mapCount ${from} to ${to}`,
    [LogModel.RENDERED_COUNT]: () => `renderedCount ${from} to ${to}`,
  };
  return `block ${block + 1} (${clock(model.blocks.time[block])}): ${what[events.kind[e]]()}`;
}

/**
 * An entry of the events list: an event, an execution decal (in full once its
 * line is read from the file) or a block cut off.
 * @param {Model} model
 * @param {number} entry
 * @param {string} [line] an execution decal's line
 * @returns {string}
 */
export function entryWords(model, entry, line) {
  const index = entryIndex(entry);
  const b = model.blocks;
  if (entryKind(entry) === EXECUTION) {
    const block = Math.min(model.executions.block[index], b.length - 1);
    const splatter = model.executions.splatter[index] !== 0;
    const where = block < model.executions.block[index] ? "after" : "before";
    const what = line === undefined ? `a ${splatter ? "splatter" : "victim"} decal of an execution` :
      `at ${line.slice(12, 24)}, ${decalWords(line, splatter)}`;
    return `block ${block + 1} (${clock(b.time[block])}): ${where} it, ${what}`;
  }
  if (entryKind(entry) === CUT_OFF) {
    const why = index === b.length - 1 ? "the log ends inside it" : "the next block began before its map lines were all in";
    return `block ${index + 1} (${clock(b.time[index])}): cut off, ${b.seen[index]} of ${b.expected[index]} map lines ` +
      `in: ${why}`;
  }
  return eventWords(model, index);
}

/**
 * What a cell holds.
 * @param {Model} model
 * @param {number} block
 * @param {number} map
 * @returns {string}
 */
export function cellWords(model, block, map) {
  const cell = model.blocks.firstCell[block] + map;
  const c = model.cells;
  if (map >= model.blocks.expected[block] || !c.present[cell]) return `${mapName(map)} is not in this block.`;
  const flags = ["needsClear", "resetAfterRender", "inactive"].filter((_, bit) => c.flags[cell] & (1 << bit));
  return `${mapName(map)}: owner ${hex(c.owner[cell])}, ${c.decals[cell]} decals, rendered ` +
    `${c.rendered[cell]}, slot ${c.slot[cell] === LogModel.NO_SLOT ? "none" : c.slot[cell]}, flags 0x` +
    `${c.flags[cell].toString(16).toUpperCase().padStart(2, "0")}${flags.length ? ` (${flags.join(", ")})` : ""}`;
}

/**
 * A block's title over its lines.
 * @param {Model} model
 * @param {number} block
 * @returns {string}
 */
export function blockTitle(model, block) {
  const b = model.blocks;
  return `Block ${block + 1} of ${b.length}, ${b.after[block] ? "after" : "before"} UpdateRenderMaps, ` +
    `${clock(b.time[block])}: mapCount ${b.mapCount[block]}, renderedCount ${b.renderedCount[block]}` +
    `${LogModel.whole(model, block) ? "" : ", cut off"}`;
}

/**
 * How many diagnostics blocks and maps the log holds, or, with none, how the timeline is had.
 * @param {number} blocks
 * @param {number} maps
 * @returns {string}
 */
export const blockCounts = (blocks, maps) => (blocks === 0 ? "no damage-map blocks (for the timeline, set " +
  "LogDamageMapDiagnostics=1, with EnableLogging=1, under [Logging] in Vorlaine.Crimsel.ini)"
  : `${some(blocks, "block")}, ${some(maps, "map")}`);

/**
 * Where the timeline's cursor stands.
 * @param {Model} model
 * @param {number} block
 * @param {number} map
 * @returns {string}
 */
export const cursorWords = (model, block, map) => `Cursor: block ${count(block + 1)} of ` +
  `${count(model.blocks.length)} (${clock(model.blocks.time[block])}), ${cellWords(model, block, map)}`;

/**
 * What is wrong with the file as a whole: nothing to read, not a Crimsel.log
 * (the settings file most likely), cut off, or a clock that was changed.
 * @param {import("./logreading.js").ReadResult} result
 * @param {string} fileName
 * @returns {string[]}
 */
export function problems(result, fileName) {
  const backwards = result.model.backwards;
  const list = [];
  if (result.size === 0) list.push("The file is empty: there is nothing to read.");
  else if (result.nulBytes) {
    list.push("This file holds zero bytes (bytes of value 0), which plain text never does: it is UTF-16 text or " +
      "binary, not a Crimsel.log, which is plain text.");
  } else if (result.lines === result.notUnderstood) {
    list.push("This is not a Crimsel.log: none of its lines is one that the plug-in writes." +
      (fileName.toLowerCase().endsWith(".ini") ? " (It looks like the settings file: give it to the part above.)" : ""));
  }
  if (result.cutAtEnd) {
    list.push("The last block is cut off: the log ends inside it (the game may have stopped while writing it).");
  }
  if (backwards > 0) {
    const times = backwards === 1 ? "once" : backwards === 2 ? "twice" : `${count(backwards)} times`;
    list.push(`Time stamps run backwards ${times} (the clock was changed): the timeline keeps the ` +
      "order of the file.");
  }
  return list;
}

/**
 * Below the events list: how many there are and which of them show.
 * @param {{ from: number, to: number }} shown the page's range
 * @param {number} page
 * @param {number} pages
 * @param {number} total
 * @param {number} map the map they are narrowed to, or -1
 * @returns {string}
 */
export function eventsShown({ from, to }, page, pages, total, map) {
  const whose = map < 0 ? "" : ` of ${mapName(map)}`;
  if (total === 0) return `No events${whose}.`;
  if (pages === 1) return `${some(total, "event")}${whose}.`;
  return `Events ${count(from + 1)} to ${count(to)} of ${count(total)}${whose}, page ${count(page + 1)} of ` +
    `${count(pages)}.`;
}

/**
 * Over the owners' legend.
 * @param {number} listed
 * @param {number} inView
 * @param {number} inLog
 * @returns {string}
 */
export const legendTitle = (listed, inView, inLog) => `Owners of the cells in view (${count(Math.min(inView, listed))} ` +
  `of ${count(inView)} in view, ${count(inLog)} in the log); choose one to highlight its cells:`;

/**
 * An owner of the legend and its cells.
 * @param {number} owner
 * @param {number} cells
 * @returns {string}
 */
export const ownerWords = (owner, cells) => `${owner === 0 ? "no owner" : hex(owner)} (${some(cells, "cell")})`;

/**
 * An execution decal's line in words.
 * @param {string} line
 * @param {boolean} splatter
 * @returns {string}
 */
export const executionWords = (line, splatter) => `${line.slice(12, 24)}: ${decalWords(line, splatter)}`;

/**
 * An execution decal's line in words, without its time.
 * @param {string} line
 * @param {boolean} splatter
 * @returns {string}
 */
function decalWords(line, splatter) {
  /** @param {string} name */
  const field = (name) => new RegExp(` ${name}=(\\S+)`).exec(line)?.[1] ?? "?";
  const texture = / texture=(.*)$/.exec(line)?.[1] ?? "?";
  return `${splatter ? "splatter" : "victim"} decal ${field("index")} of execution ${field("execId")}, stage ` +
    `${field("stage")}, texture ${texture}`;
}
