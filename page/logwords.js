// What the log part says, in words: an event, a cell, a block, the problems
// of a file, an execution decal, the legend and the counts. No DOM, so that
// Node can import it.

import { CUT_OFF, EXECUTION, entryIndex, entryKind } from "./eventpages.js";
import * as LogModel from "./logmodel.js";
import { mapName } from "./timelineview.js";

/** @typedef {import("./pagemodel.js").PageModel} Model */
/** @typedef {import("./pagemodel.js").BlockCells} BlockCells */

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
  /** @type {Record<number, () => string>} */
  const what = {
    [LogModel.TAKEN]: () => `${name} taken by another owner (${hex(from)} to ${hex(events.owner[e])}) with ${some(to, "decal")} still on it`,
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
    return `block ${index + 1} (${clock(b.time[index])}): cut off, ${b.seen[index]} of ` +
      `${some(b.expected[index], "map line")} in: ${why}`;
  }
  return eventWords(model, index);
}

/**
 * What a cell holds.
 * @param {BlockCells} c its block's cells
 * @param {number} map
 * @returns {string}
 */
export function cellWords(c, map) {
  if (map >= c.length || !c.present[map]) return `${mapName(map)} is not in this block.`;
  const flags = ["needsClear", "resetAfterRender", "inactive"].filter((_, bit) => c.flags[map] & (1 << bit));
  return `${mapName(map)}: owner ${hex(c.owner[map])}, ${some(c.decals[map], "decal")}, rendered ` +
    `${c.rendered[map]}, slot ${c.slot[map] === LogModel.NO_SLOT ? "none" : c.slot[map]}, flags 0x` +
    `${c.flags[map].toString(16).toUpperCase().padStart(2, "0")}${flags.length ? ` (${flags.join(", ")})` : ""}`;
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
 * Whether the file is no log at all: empty, not text, or none of its lines the plug-in's.
 * @param {import("./logreading.js").Outcome} result
 * @returns {boolean}
 */
const noLog = (result) => result.size === 0 || result.nulBytes || result.lines === result.notUnderstood;

// Why a log holds no blocks, by what its start-up said of the diagnostics.
const SET_THEM = " (for the timeline, set LogDamageMapDiagnostics=1, with EnableLogging=1, under [Logging] in " +
  "Vorlaine.Crimsel.ini)";
/** @type {Record<import("./logreading.js").Diagnostics, string>} */
const NO_BLOCKS = {
  unsaid: SET_THEM,
  off: SET_THEM,
  on: ": the damage-map diagnostics are on in the settings, but the start-up ended before it installed them",
  installed: ": the damage-map diagnostics were installed, but the game did not get to its damage maps before " +
    "the log ended (it may have been closed before play began)",
  refused: ": the damage-map diagnostics are on in the settings, but were not installed (see the start-up above)",
  unrecognised: ": this is not the version of the game that the plug-in is made for, so it installed nothing " +
    "(see the start-up above)",
};

/**
 * How many diagnostics blocks and maps the log holds, or, with none, why, and how the timeline is had.
 * @param {number} blocks
 * @param {number} maps
 * @param {import("./logreading.js").Outcome} result the log's reading, which says why it has no blocks
 * @returns {string}
 */
export function blockCounts(blocks, maps, result) {
  if (blocks > 0) return `${some(blocks, "block")}, ${some(maps, "map")}`;
  return `no damage-map blocks${noLog(result) ? "" : NO_BLOCKS[result.diagnostics]}`;
}

/**
 * Where the timeline's cursor stands.
 * @param {Model} model
 * @param {number} block
 * @param {BlockCells} cells the block's
 * @param {number} map
 * @returns {string}
 */
export const cursorWords = (model, block, cells, map) => `Cursor: block ${count(block + 1)} of ` +
  `${count(model.blocks.length)} (${clock(model.blocks.time[block])}), ${cellWords(cells, map)}`;

/**
 * What is wrong with the file as a whole: nothing to read, not a Crimsel.log
 * (the settings file most likely), cut off, or a clock that was changed.
 * @param {import("./logreading.js").Outcome} result
 * @param {string} fileName
 * @returns {string[]}
 */
export function problems(result, fileName) {
  const backwards = result.model.backwards;
  const list = [];
  if (result.size === 0) list.push("The file is empty: there is nothing to read.");
  else if (result.nulBytes) {
    list.push("This is not a text file: it holds bytes that no text file has (bytes of value 0). A Crimsel.log is " +
      "plain text; this may be a picture, a program or another binary file, or text saved as UTF-16.");
  } else if (noLog(result)) {
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
 * What the list holds, each kind by its name: "5 events, 1 execution decal and 2 blocks cut off".
 * @param {number[]} kinds how many events, execution decals and blocks cut off
 * @returns {string}
 */
function listedWords([events, executions, cutOffs]) {
  const named = [events ? some(events, "event") : "", executions ? some(executions, "execution decal") : "",
    cutOffs ? `${some(cutOffs, "block")} cut off` : ""].filter((words) => words !== "");
  return named.length === 1 ? named[0] : `${named.slice(0, -1).join(", ")} and ${named.at(-1)}`;
}

/**
 * Below the events list: what it holds and which of its entries show.
 * @param {{ from: number, to: number }} shown the page's range
 * @param {number} page
 * @param {number} pages
 * @param {number[]} kinds how many events, execution decals and blocks cut off it lists
 * @param {number} map the map they are narrowed to, or -1
 * @returns {string}
 */
export function eventsShown({ from, to }, page, pages, kinds, map) {
  const whose = map < 0 ? "" : ` of ${mapName(map)}`;
  const total = kinds.reduce((sum, n) => sum + n, 0);
  if (total === 0) return `No events${whose}.`;
  if (pages === 1) return `${listedWords(kinds)}${whose}.`;
  return `Entries ${count(from + 1)} to ${count(to)} of ${count(total)}${whose}, page ${count(page + 1)} of ` +
    `${count(pages)} (${listedWords(kinds)} in all).`;
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
