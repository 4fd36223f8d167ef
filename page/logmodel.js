// The damage maps of a Crimsel.log as a timeline: one column per diagnostics
// block in file order, one row per map index. Everything is held in typed
// arrays that grow by doubling, never an object per line or a copy of the
// text: a selected block's lines are read back from the file by their offsets.
export const MAX_MAPS = 64; // the plug-in logs the first 64 maps of a block
export const NO_SLOT = 255;
const NEEDS_CLEAR = 1;
const INACTIVE = 4;

// Events, by kind.
export const TAKEN = 0; // a map taken by another owner, with the decals it still had
export const CLEAR_RAISED = 1;
export const CLEAR_DONE = 2;
export const WENT_INACTIVE = 3;
export const MAP_COUNT = 4;
export const RENDERED_COUNT = 5;

/**
 * The log's blocks, one a diagnostics header line, in file order.
 * @typedef {object} Blocks
 * @property {number} length
 * @property {Float64Array} start the header line's offset in the file
 * @property {Float64Array} end where the block's last line ends
 * @property {Float64Array} time the header's time stamp, in milliseconds
 * @property {Uint32Array} manager
 * @property {Uint16Array} mapCount
 * @property {Uint16Array} renderedCount
 * @property {Uint32Array} cleanupTimer
 * @property {Uint8Array} after 1 when logged after UpdateRenderMaps
 * @property {Uint8Array} expected the map lines that follow the header
 * @property {Uint8Array} seen the map lines read of them
 * @property {Uint32Array} firstCell the cell of its map 0; its maps' cells follow
 */
/**
 * The maps of every block, one cell a map.
 * @typedef {object} Cells
 * @property {number} length
 * @property {Uint32Array} owner
 * @property {Uint8Array} decals
 * @property {Uint8Array} rendered
 * @property {Uint8Array} flags
 * @property {Uint8Array} slot NO_SLOT for none
 * @property {Uint8Array} present 1 once the map's line is read
 */
/**
 * Changes between blocks, of the kinds TAKEN to RENDERED_COUNT.
 * @typedef {object} Events
 * @property {number} length
 * @property {Uint8Array} kind
 * @property {Uint32Array} block
 * @property {Uint8Array} map
 * @property {Uint32Array} from
 * @property {Uint32Array} to
 */
/**
 * The execution decal lines.
 * @typedef {object} Executions
 * @property {number} length
 * @property {Float64Array} offset the line's offset in the file
 * @property {Uint32Array} block the block that follows it
 * @property {Uint8Array} splatter
 */
/**
 * The whole model, as the page is given it.
 * @typedef {object} Model
 * @property {Blocks} blocks
 * @property {Cells} cells
 * @property {Events} events
 * @property {Executions} executions
 * @property {Uint8Array} mapsSeen per map index, 1 once a block showed it
 * @property {number} backwards time stamps earlier than the block before
 * @property {number} open the block whose map lines are still to come, or -1
 * @property {Int32Array} lastCell per map index, the cell of the last block that showed it, or -1
 */
/**
 * A header line's fields.
 * @typedef {{ after: boolean, manager: number, mapCount: number, renderedCount: number, cleanupTimer: number }} Header
 */
/**
 * A map line's fields.
 * @typedef {{ index: number, slot: number, owner: number, decals: number, rendered: number, flags: number }} MapLine
 */
/** @typedef {Float64Array | Int32Array | Uint32Array | Uint16Array | Uint8Array} Column */

/**
 * A growable table of typed columns: add gives the next row, doubling the
 * columns when they are full.
 * @template {Record<string, Column>} C
 * @param {(capacity: number) => C} make the columns, each of the capacity given
 * @param {number} capacity
 */
function table(make, capacity) {
  let columns = make(capacity);
  const t = { length: 0, capacity, ...columns, add };
  function add() {
    if (t.length === t.capacity) {
      t.capacity *= 2;
      const grown = make(t.capacity);
      for (const name of Object.keys(grown)) grown[name].set(columns[name]);
      columns = grown;
      Object.assign(t, grown);
    }
    return t.length++;
  }
  return t;
}

// The fewest bytes that a map's line takes in the log: its time stamp, its
// name and its fields at their shortest, and its line end.
const MAP_LINE_BYTES = 100;

/**
 * The model of a log not yet read, whose tables grow as it is. Its cells are made at once for as many map lines
 * as a log of so many bytes can hold, so that they seldom grow: a table that grows holds its old columns and its
 * new at once, and the cells are most of the model. The system gives a column's memory only as it is written.
 * @param {number} [bytes] the log's size
 */
export function create(bytes = 0) {
  const model = {
    blocks: table((n) => ({
      start: new Float64Array(n), end: new Float64Array(n), time: new Float64Array(n), manager: new Uint32Array(n),
      mapCount: new Uint16Array(n), renderedCount: new Uint16Array(n), cleanupTimer: new Uint32Array(n),
      after: new Uint8Array(n), expected: new Uint8Array(n), seen: new Uint8Array(n), firstCell: new Uint32Array(n),
    }), 1024),
    cells: table((n) => ({ owner: new Uint32Array(n), decals: new Uint8Array(n), rendered: new Uint8Array(n),
      flags: new Uint8Array(n), slot: new Uint8Array(n), present: new Uint8Array(n) }),
    Math.max(65536, Math.ceil(bytes / MAP_LINE_BYTES))),
    events: table((n) => ({ kind: new Uint8Array(n), block: new Uint32Array(n), map: new Uint8Array(n),
      from: new Uint32Array(n), to: new Uint32Array(n) }), 1024),
    executions: table((n) => ({ offset: new Float64Array(n), block: new Uint32Array(n), splatter: new Uint8Array(n) }),
      256),
    mapsSeen: new Uint8Array(MAX_MAPS),
    backwards: 0,
    open: -1,
    lastCell: new Int32Array(MAX_MAPS).fill(-1),
  };
  return model;
}

/** @typedef {ReturnType<typeof create>} Reading the model while it is read, its tables with their add */

/**
 * @param {Reading} model
 * @param {number} kind
 * @param {number} block
 * @param {number} map
 * @param {number} from
 * @param {number} to
 */
function event(model, kind, block, map, from, to) {
  const e = model.events;
  const i = e.add();
  e.kind[i] = kind;
  e.block[i] = block;
  e.map[i] = map;
  e.from[i] = from;
  e.to[i] = to;
}

/**
 * A header line: a new block, which stays open until its map lines are in.
 * @param {Reading} model
 * @param {Header} header
 * @param {number} time
 * @param {number} start
 * @param {number} end
 * @returns {number} the block
 */
export function addBlock(model, header, time, start, end) {
  const b = model.blocks;
  const i = b.add();
  b.start[i] = start;
  b.end[i] = end;
  b.time[i] = time;
  b.manager[i] = header.manager;
  b.mapCount[i] = header.mapCount;
  b.renderedCount[i] = header.renderedCount;
  b.cleanupTimer[i] = header.cleanupTimer;
  b.after[i] = header.after ? 1 : 0;
  b.expected[i] = Math.min(header.mapCount, MAX_MAPS);
  b.seen[i] = 0;
  const c = model.cells;
  b.firstCell[i] = c.length;
  for (let m = 0; m < b.expected[i]; m++) c.present[c.add()] = 0;
  if (i > 0) {
    if (time < b.time[i - 1]) model.backwards++;
    if (b.mapCount[i - 1] !== header.mapCount) event(model, MAP_COUNT, i, 0, b.mapCount[i - 1], header.mapCount);
    if (b.renderedCount[i - 1] !== header.renderedCount) {
      event(model, RENDERED_COUNT, i, 0, b.renderedCount[i - 1], header.renderedCount);
    }
  }
  model.open = b.expected[i] > 0 ? i : -1;
  return i;
}

/**
 * A map line of the open block; false when there is none for it, or it
 * stands there already.
 * @param {Reading} model
 * @param {MapLine} map
 * @param {number} end where the line ends in the file
 * @returns {boolean}
 */
export function addMap(model, map, end) {
  const block = model.open;
  const b = model.blocks;
  if (block < 0 || map.index >= b.expected[block]) return false;
  const c = model.cells;
  const cell = b.firstCell[block] + map.index;
  if (c.present[cell]) return false;
  c.owner[cell] = map.owner;
  c.decals[cell] = map.decals;
  c.rendered[cell] = map.rendered;
  c.flags[cell] = map.flags;
  c.slot[cell] = map.slot;
  c.present[cell] = 1;
  b.end[block] = end;
  model.mapsSeen[map.index] = 1;
  const last = model.lastCell[map.index];
  if (last >= 0) {
    if (c.owner[last] !== 0 && map.owner !== 0 && c.owner[last] !== map.owner) {
      event(model, TAKEN, block, map.index, c.owner[last], map.decals);
    }
    const before = c.flags[last];
    if (!(before & NEEDS_CLEAR) && map.flags & NEEDS_CLEAR) event(model, CLEAR_RAISED, block, map.index, 0, 0);
    if (before & NEEDS_CLEAR && !(map.flags & NEEDS_CLEAR)) event(model, CLEAR_DONE, block, map.index, 0, 0);
    if (!(before & INACTIVE) && map.flags & INACTIVE) event(model, WENT_INACTIVE, block, map.index, 0, 0);
  }
  model.lastCell[map.index] = cell;
  if (++b.seen[block] === b.expected[block]) model.open = -1;
  return true;
}

/**
 * An execution decal line: on the same axis, before the next block.
 * @param {Reading} model
 * @param {number} offset
 * @param {boolean} splatter
 */
export function addExecution(model, offset, splatter) {
  const x = model.executions;
  const i = x.add();
  x.offset[i] = offset;
  x.block[i] = model.blocks.length;
  x.splatter[i] = splatter ? 1 : 0;
}

/** @param {{ mapsSeen: Uint8Array }} model @returns {number} the map indices that some block showed */
export const mapsSeen = (model) => model.mapsSeen.reduce((sum, seen) => sum + seen, 0);
/**
 * @param {{ blocks: { seen: Uint8Array, expected: Uint8Array } }} model @param {number} block
 * @returns {boolean} whether all its map lines were read
 */
export const whole = (model, block) => model.blocks.seen[block] === model.blocks.expected[block];

/**
 * A table's columns and length without its add.
 * @template {{ length: number }} T
 * @param {T & { add: () => number }} table
 * @returns {T}
 */
function columnsOf(table) {
  const columns = { ...table };
  Reflect.deleteProperty(columns, "add");
  return columns;
}

/**
 * The model as a worker can post it: each table's columns without its add,
 * which only the reading calls and which cannot be cloned.
 * @param {Reading} model
 * @returns {Model}
 */
export function withoutAdd(model) {
  return { ...model, blocks: columnsOf(model.blocks), cells: columnsOf(model.cells), events: columnsOf(model.events),
    executions: columnsOf(model.executions) };
}

/**
 * What a model holds now, to undo what is added after: its tables' lengths, what stands for every map, and the
 * open block's cells, which a map line fills.
 * @typedef {{ blocks: number, cells: number, events: number, executions: number, backwards: number, open: number,
 *   mapsSeen: Uint8Array, lastCell: Int32Array, seen: number, end: number,
 *   openCells: Array<Column> }} Mark
 */

const CELL_COLUMNS = /** @type {const} */ (["owner", "decals", "rendered", "flags", "slot", "present"]);

/** @param {Reading} model @returns {Mark} */
export function mark(model) {
  const open = model.open;
  const first = open >= 0 ? model.blocks.firstCell[open] : 0;
  const count = open >= 0 ? model.blocks.expected[open] : 0;
  return { blocks: model.blocks.length, cells: model.cells.length, events: model.events.length,
    executions: model.executions.length, backwards: model.backwards, open, mapsSeen: model.mapsSeen.slice(),
    lastCell: model.lastCell.slice(), seen: open >= 0 ? model.blocks.seen[open] : 0,
    end: open >= 0 ? model.blocks.end[open] : 0,
    openCells: CELL_COLUMNS.map((name) => model.cells[name].slice(first, first + count)) };
}

/**
 * The model as it was at the mark: what was added since is dropped.
 * @param {Reading} model
 * @param {Mark} at
 */
export function undo(model, at) {
  model.blocks.length = at.blocks;
  model.cells.length = at.cells;
  model.events.length = at.events;
  model.executions.length = at.executions;
  model.backwards = at.backwards;
  model.open = at.open;
  model.mapsSeen.set(at.mapsSeen);
  model.lastCell.set(at.lastCell);
  if (at.open < 0) return;
  model.blocks.seen[at.open] = at.seen;
  model.blocks.end[at.open] = at.end;
  const first = model.blocks.firstCell[at.open];
  CELL_COLUMNS.forEach((name, i) => model.cells[name].set(at.openCells[i], first));
}
