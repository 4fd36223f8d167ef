// Levels of summary of the timeline, made once beside the reading, so that a
// zoomed-out drawing costs its columns times its rows, not the log's cells.
// Level k holds spans of 2^k blocks from the first, each with what its blocks
// hold: per map row the last owner and how many cells hold each flag or a
// changed owner, and how many blocks hold each mark. Any run of blocks is a
// few aligned spans (at most two of each level), whose sums are exactly what
// reading its blocks one by one gives.

import { CUT_OFF, EVENT, EXECUTION } from "./summary.js";

/** @typedef {Uint8Array | Uint16Array | Uint32Array} Counts */
/**
 * One level's spans, `count` of `span` blocks each. `owner[s * rows + row]` is the index of the last owner of the
 * map in span s, or -1; `cells[(s * rows + row) * 4 + f]` counts its cells with needsClear, resetAfterRender,
 * inactive and a changed owner (f = 0 to 3); `blocks[s * 4 + m]` counts its blocks with an event, with an
 * execution decal before them, cut off, and after UpdateRenderMaps (m = 0 to 3).
 * @typedef {{ span: number, count: number, owner: Int32Array, cells: Counts, blocks: Counts }} Level
 */
/**
 * The levels from spans of 2 blocks up; and, for counting owners' cells, each owner's cells in the blocks before
 * every `every`-th block: `tally[c * owners + o]` for the blocks [0, c * every).
 * @typedef {{ rows: number, levels: Level[], every: number, owners: number, tally: Uint32Array }} Levels
 */
/** @typedef {import("./summary.js").Summary & { levels: Levels }} Summarised the summary with its levels */
/**
 * What some blocks hold, as gathered: a level of one span, and for a highlighted owner whether it is in each row.
 * @typedef {Level & { lit: Uint8Array }} Gathered
 */
/**
 * Where a highlighted owner is, per level as its levels: `levels[k][s * rows + row]` is 1 where span s of level k
 * has a cell of the owner's in the row; made while `more` gives false.
 * @typedef {{ owner: number, levels: Uint8Array[], more: (enough: () => boolean) => boolean }} Lit
 */

export const NEEDS_CLEAR = 0;
export const RESET_AFTER_RENDER = 1;
export const INACTIVE = 2;
export const CHANGED = 3;
export const EVENTS = 0;
export const EXECUTIONS = 1;
export const CUT_OFFS = 2;
export const AFTER = 3;
const MOST_TALLIES = 1 << 22; // 16 MB of owners' tallies at most

/** @param {number} span @param {number} size @returns {Counts} counts that hold up to span each */
const counts = (span, size) => (span < 256 ? new Uint8Array(size) : span < 65536 ? new Uint16Array(size)
  : new Uint32Array(size));

/** @param {number} span @param {number} count @param {number} rows @returns {Level} */
const level = (span, count, rows) => ({ span, count, owner: new Int32Array(count * rows).fill(-1),
  cells: counts(span, count * rows * 4), blocks: counts(span, count * 4) });

/** @param {number} rows @returns {Gathered} an empty gathering */
export const gathered = (rows) => ({ ...level(1 << 30, 1, rows), lit: new Uint8Array(rows) });

/**
 * Adds one block's cells and marks into span s of a level.
 * @param {import("./logmodel.js").Model} model @param {import("./summary.js").Summary} summary
 * @param {Level} into @param {number} s @param {number} block
 */
function addBlock(model, summary, into, s, block) {
  const { rows, ownerOf, changed, marks } = summary;
  const { present, flags } = model.cells;
  const first = model.blocks.firstCell[block];
  const end = Math.min(model.blocks.expected[block], rows);
  for (let row = 0; row < end; row++) {
    const cell = first + row;
    if (!present[cell]) continue;
    const at = s * rows + row;
    into.owner[at] = ownerOf[cell];
    into.cells[4 * at] += flags[cell] & 1;
    into.cells[4 * at + 1] += (flags[cell] >> 1) & 1;
    into.cells[4 * at + 2] += (flags[cell] >> 2) & 1;
    into.cells[4 * at + 3] += changed[cell];
  }
  const bits = marks[block];
  into.blocks[4 * s] += bits & EVENT ? 1 : 0;
  into.blocks[4 * s + 1] += bits & EXECUTION ? 1 : 0;
  into.blocks[4 * s + 2] += bits & CUT_OFF ? 1 : 0;
  into.blocks[4 * s + 3] += model.blocks.after[block];
}

/**
 * Adds span t of a level into span s of another, after what it holds.
 * @param {number} rows @param {Level} into @param {number} s @param {Level} from @param {number} t
 */
function addSpan(rows, into, s, from, t) {
  for (let row = 0; row < rows; row++) {
    const owner = from.owner[t * rows + row];
    if (owner >= 0) into.owner[s * rows + row] = owner;
  }
  for (let i = 0; i < 4 * rows; i++) into.cells[4 * s * rows + i] += from.cells[4 * t * rows + i];
  for (let m = 0; m < 4; m++) into.blocks[4 * s + m] += from.blocks[4 * t + m];
}

/**
 * The levels of a log's summary, each made in one pass over the one below.
 * @param {import("./logmodel.js").Model} model @param {import("./summary.js").Summary} summary @returns {Levels}
 */
export const build = (model, summary) => grown(null, model, summary, 0);

/**
 * The levels of a log that grew, from those of its blocks before: the spans from the block `from` on, the first
 * that changed, are made again, and those of the blocks after them added; the others are kept. Where the rows are
 * more, all are made again. Each level has room for more spans than it holds, so that it seldom grows.
 * @param {Levels | null} levels what the blocks before gave, changed in place
 * @param {import("./logmodel.js").Model} model @param {import("./summary.js").Summary} summary
 * @param {number} from
 * @returns {Levels}
 */
export function grown(levels, model, summary, from) {
  const rows = summary.rows;
  if (!levels || levels.rows !== rows) {
    levels = { rows, levels: [], every: 64, owners: 0, tally: new Uint32Array(0) };
    from = 0;
  }
  const blocks = model.blocks.length;
  for (let k = 0, span = 2; span <= blocks; k++, span *= 2) {
    const count = Math.floor(blocks / span);
    const first = Math.floor(from / span);
    const made = (levels.levels[k] = roomy(levels.levels[k], span, count, rows, first));
    made.count = count;
    made.owner.fill(-1, first * rows, count * rows);
    made.cells.fill(0, 4 * first * rows, 4 * count * rows);
    made.blocks.fill(0, 4 * first, 4 * count);
    const below = levels.levels[k - 1];
    for (let s = first; s < count; s++) {
      if (below) {
        addSpan(rows, made, s, below, 2 * s);
        addSpan(rows, made, s, below, 2 * s + 1);
      } else {
        addBlock(model, summary, made, s, 2 * s);
        addBlock(model, summary, made, s, 2 * s + 1);
      }
    }
  }
  tallies(levels, model, summary, from);
  return levels;
}

/**
 * A level with room for `count` spans: the one given, or a larger one with its first `keep` spans.
 * @param {Level | undefined} made @param {number} span @param {number} count @param {number} rows
 * @param {number} keep
 * @returns {Level}
 */
function roomy(made, span, count, rows, keep) {
  if (made && made.owner.length >= count * rows) return made;
  const room = made ? Math.max(count, (2 * made.owner.length) / Math.max(rows, 1)) : count;
  const larger = level(span, room, rows);
  if (made) {
    larger.owner.set(made.owner.subarray(0, keep * rows));
    larger.cells.set(made.cells.subarray(0, 4 * keep * rows));
    larger.blocks.set(made.blocks.subarray(0, 4 * keep));
  }
  larger.count = count;
  return larger;
}

/**
 * Each owner's cells before every `every`-th block, `every` as small as the tallies' room allows, made again
 * from the last one before the block `from`. Their stride (`owners`) may be more than the owners, so that new
 * owners seldom make them all again.
 * @param {Levels} levels @param {import("./logmodel.js").Model} model
 * @param {import("./summary.js").Summary} summary @param {number} from
 */
function tallies(levels, model, summary, from) {
  const owners = summary.list.length;
  const blocks = model.blocks.length;
  let { every, owners: stride } = levels;
  const fits = () => stride * (Math.floor(blocks / every) + 1) <= MOST_TALLIES;
  if (stride < owners || !fits()) {
    stride = levels.tally.length === 0 ? owners : Math.max(owners, 2 * stride);
    while (!fits()) every *= 2;
    from = 0;
  }
  const needed = stride * (Math.floor(blocks / every) + 1);
  let tally = levels.tally;
  if (from === 0 || tally.length < needed) {
    tally = new Uint32Array(from === 0 ? needed : Math.max(needed, Math.min(2 * tally.length, MOST_TALLIES)));
    if (from > 0) tally.set(levels.tally);
  }
  const start = Math.floor(from / every) * every;
  const running = start === 0 ? new Uint32Array(stride) : tally.slice((start / every) * stride, (start / every + 1) * stride);
  for (let block = start; block < blocks; block++) {
    if (block % every === 0) tally.set(running, (block / every) * stride);
    forEachCell(model, summary, block, (owner) => running[owner]++);
  }
  if (blocks % every === 0) tally.set(running, (blocks / every) * stride);
  Object.assign(levels, { every, owners: stride, tally });
}

/**
 * Visits the owner's index of each cell of a block that the timeline shows.
 * @param {import("./logmodel.js").Model} model @param {import("./summary.js").Summary} summary
 * @param {number} block @param {(owner: number) => void} visit
 */
function forEachCell(model, summary, block, visit) {
  const first = model.blocks.firstCell[block];
  const end = Math.min(model.blocks.expected[block], summary.rows);
  for (let cell = first; cell < first + end; cell++) if (model.cells.present[cell]) visit(summary.ownerOf[cell]);
}

/**
 * Visits the fewest aligned spans that cover the blocks [from, to) in order: a level's index and its span, or -1
 * and a block.
 * @param {Levels} levels @param {number} from @param {number} to @param {(k: number, at: number) => void} visit
 */
function forEachPiece(levels, from, to, visit) {
  for (let at = from; at < to;) {
    let k = 0;
    while (k < levels.levels.length && at % (2 << k) === 0 && at + (2 << k) <= to) k++;
    visit(k - 1, at >> k);
    at += 1 << k;
  }
}

/**
 * Marks the rows of a block whose cell is the owner's, at `into[at + row]`.
 * @param {import("./logmodel.js").Model} model @param {import("./summary.js").Summary} summary
 * @param {number} block @param {number} owner @param {Uint8Array} into @param {number} at
 */
function litRows(model, summary, block, owner, into, at) {
  const first = model.blocks.firstCell[block];
  const end = Math.min(model.blocks.expected[block], summary.rows);
  const { present } = model.cells;
  const { ownerOf } = summary;
  for (let row = 0; row < end; row++) if (present[first + row] && ownerOf[first + row] === owner) into[at + row] = 1;
}

/**
 * Where a highlighted owner has cells: per level, span and row, 1 where any of its cells is the owner's. Made a
 * piece at a time by `more(enough)`, which goes on until enough() says so and tells whether all is made, so that
 * no long log's highlight keeps the page busy for long.
 * @param {import("./logmodel.js").Model} model @param {import("./summary.js").Summary} summary
 * @param {Levels} levels @param {number} owner @returns {Lit}
 */
export function lit(model, summary, levels, owner) {
  const rows = levels.rows;
  const found = levels.levels.map(({ count }) => new Uint8Array(count * rows));
  let k = 0;
  let s = 0;
  /** @param {() => boolean} enough */
  const more = (enough) => {
    for (; k < found.length; k++, s = 0) {
      const made = found[k];
      const below = found[k - 1];
      const count = levels.levels[k].count;
      for (; s < count; s++) {
        if (s % 256 === 0 && enough()) return false;
        if (!below) {
          litRows(model, summary, 2 * s, owner, made, s * rows);
          litRows(model, summary, 2 * s + 1, owner, made, s * rows);
          continue;
        }
        for (let row = 0; row < rows; row++) {
          made[s * rows + row] = below[2 * s * rows + row] | below[(2 * s + 1) * rows + row];
        }
      }
    }
    return true;
  };
  return { owner, levels: found, more };
}

/**
 * Gathers what the blocks [from, to) hold, as reading them one by one would, into `into`.
 * @param {import("./logmodel.js").Model} model @param {import("./summary.js").Summary} summary
 * @param {Levels} levels @param {number} from @param {number} to @param {Gathered} into
 */
export function gather(model, summary, levels, from, to, into) {
  const rows = levels.rows;
  into.owner.fill(-1);
  into.cells.fill(0);
  into.blocks.fill(0);
  forEachPiece(levels, from, to, (k, at) => {
    if (k < 0) addBlock(model, summary, into, 0, at);
    else addSpan(rows, into, 0, levels.levels[k], at);
  });
}

/**
 * Where a highlighted owner is among the blocks [from, to), into `into.lit`.
 * @param {import("./logmodel.js").Model} model @param {import("./summary.js").Summary} summary
 * @param {Levels} levels @param {number} from @param {number} to @param {Gathered} into
 * @param {Lit} highlight all made
 */
export function gatherLit(model, summary, levels, from, to, into, highlight) {
  const rows = levels.rows;
  into.lit.fill(0);
  forEachPiece(levels, from, to, (k, at) => {
    if (k < 0) litRows(model, summary, at, highlight.owner, into.lit, 0);
    else for (let row = 0; row < rows; row++) into.lit[row] |= highlight.levels[k][at * rows + row];
  });
}

/**
 * Each owner's cells in the blocks [from, to), into `into` (one entry per owner).
 * @param {import("./logmodel.js").Model} model @param {import("./summary.js").Summary} summary
 * @param {Levels} levels @param {number} from @param {number} to @param {Uint32Array} into
 */
export function ownerCells(model, summary, levels, from, to, into) {
  into.fill(0);
  // The cells before `to` less those before `from`: the counts never go under nought on the way.
  for (const [end, sign] of [[to, 1], [from, -1]]) {
    const c = Math.floor(end / levels.every);
    for (let o = 0; o < levels.owners; o++) into[o] += sign * levels.tally[c * levels.owners + o];
    for (let block = c * levels.every; block < end; block++) {
      forEachCell(model, summary, block, (owner) => (into[owner] += sign));
    }
  }
}
