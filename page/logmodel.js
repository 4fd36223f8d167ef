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
 * columns when they are full; reserve makes room for rows added in bulk.
 * @template {Record<string, Column>} C
 * @param {(capacity: number) => C} make the columns, each of the capacity given
 * @param {number} capacity
 */
function table(make, capacity) {
  let columns = make(capacity);
  const t = { length: 0, capacity, ...columns, add, reserve };
  /** @param {number} rows */
  function reserve(rows) {
    if (rows <= t.capacity) return;
    while (t.capacity < rows) t.capacity *= 2;
    const grown = make(t.capacity);
    for (const name of Object.keys(grown)) grown[name].set(columns[name]);
    columns = grown;
    Object.assign(t, grown);
  }
  function add() {
    if (t.length === t.capacity) reserve(t.length + 1);
    return t.length++;
  }
  return t;
}

/** @param {number} capacity */
const events = (capacity) => table((n) => ({ kind: new Uint8Array(n), block: new Uint32Array(n),
  map: new Uint8Array(n), from: new Uint32Array(n), to: new Uint32Array(n) }), capacity);

/**
 * Where a map index first showed in a part of a log read on its own, which
 * the part before it may hold a line of: in the order first shown, the index,
 * its cell and the events there were then.
 * @typedef {{ length: number, map: Uint8Array, cell: Uint32Array, event: Uint32Array }} FirstSeen
 */

/**
 * @param {boolean} [part] a part of a log after its start, whose first cells the join compares with the part before
 * @returns the model of a log not yet read, whose tables grow as it is
 */
export function create(part = false) {
  const model = {
    blocks: table((n) => ({
      start: new Float64Array(n), end: new Float64Array(n), time: new Float64Array(n), manager: new Uint32Array(n),
      mapCount: new Uint16Array(n), renderedCount: new Uint16Array(n), cleanupTimer: new Uint32Array(n),
      after: new Uint8Array(n), expected: new Uint8Array(n), seen: new Uint8Array(n), firstCell: new Uint32Array(n),
    }), 1024),
    cells: table((n) => ({ owner: new Uint32Array(n), decals: new Uint8Array(n), rendered: new Uint8Array(n),
      flags: new Uint8Array(n), slot: new Uint8Array(n), present: new Uint8Array(n) }), 65536),
    events: events(1024),
    executions: table((n) => ({ offset: new Float64Array(n), block: new Uint32Array(n), splatter: new Uint8Array(n) }),
      256),
    mapsSeen: new Uint8Array(MAX_MAPS),
    backwards: 0,
    open: -1,
    lastCell: new Int32Array(MAX_MAPS).fill(-1),
    /** @type {FirstSeen | undefined} */
    firstSeen: part ? { length: 0, map: new Uint8Array(MAX_MAPS), cell: new Uint32Array(MAX_MAPS),
      event: new Uint32Array(MAX_MAPS) } : undefined,
  };
  if (!part) delete model.firstSeen;
  return model;
}

/** @typedef {ReturnType<typeof create>} Reading the model while it is read, its tables with their add */
/** @typedef {{ events: Reading["events"], backwards: number }} Changes where events and backward times go */

/**
 * @param {Changes} model
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
 * What a block's header changed from the block before, as events of the block
 * at `at` in the model, and a time stamp that went backwards.
 * @param {Changes} model
 * @param {Blocks} before its blocks
 * @param {number} i
 * @param {Blocks} now its blocks
 * @param {number} j
 * @param {number} at
 */
function headerChanges(model, before, i, now, j, at) {
  if (now.time[j] < before.time[i]) model.backwards++;
  if (before.mapCount[i] !== now.mapCount[j]) event(model, MAP_COUNT, at, 0, before.mapCount[i], now.mapCount[j]);
  if (before.renderedCount[i] !== now.renderedCount[j]) {
    event(model, RENDERED_COUNT, at, 0, before.renderedCount[i], now.renderedCount[j]);
  }
}

/**
 * What a map's cell changed from its last one before, as events of its block.
 * @param {Changes} model
 * @param {Cells} cells the last one's
 * @param {number} last
 * @param {Cells} now the cell's
 * @param {number} cell
 * @param {number} block
 * @param {number} map
 */
function mapChanges(model, cells, last, now, cell, block, map) {
  const owner = now.owner[cell];
  const before = cells.flags[last];
  const flags = now.flags[cell];
  if (cells.owner[last] !== 0 && owner !== 0 && cells.owner[last] !== owner) {
    event(model, TAKEN, block, map, cells.owner[last], now.decals[cell]);
  }
  if (!(before & NEEDS_CLEAR) && flags & NEEDS_CLEAR) event(model, CLEAR_RAISED, block, map, 0, 0);
  if (before & NEEDS_CLEAR && !(flags & NEEDS_CLEAR)) event(model, CLEAR_DONE, block, map, 0, 0);
  if (!(before & INACTIVE) && flags & INACTIVE) event(model, WENT_INACTIVE, block, map, 0, 0);
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
  if (i > 0) headerChanges(model, b, i - 1, b, i, i);
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
  if (last >= 0) mapChanges(model, c, last, c, cell, block, map.index);
  else if (model.firstSeen) {
    const f = model.firstSeen;
    f.map[f.length] = map.index;
    f.cell[f.length] = cell;
    f.event[f.length++] = model.events.length;
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

/** @param {Model} model @returns {number} the map indices that some block showed */
export const mapsSeen = (model) => model.mapsSeen.reduce((sum, seen) => sum + seen, 0);
/** @param {Model} model @param {number} block @returns {boolean} whether all its map lines were read */
export const whole = (model, block) => model.blocks.seen[block] === model.blocks.expected[block];

/**
 * The model of a log's part that follows the part of `model`, read on its own
 * (made by create(true)), put after it in `model`: its rows shifted by the rows
 * before them, and the events of the first block and of each map's first cell
 * that compare them with the part before, each where the log read whole has it.
 * A pass over the second part's tables.
 * @param {Reading} model
 * @param {Model & { firstSeen?: FirstSeen }} part
 * @returns {Reading} model
 */
export function join(model, part) {
  const [blocks, cells] = [model.blocks.length, model.cells.length];
  // The events that the part could not know, each with the part's events before it.
  /** @type {Changes} */
  const seam = { events: events(8), backwards: 0 };
  /** @type {number[]} */
  const at = [];
  if (blocks > 0 && part.blocks.length > 0) headerChanges(seam, model.blocks, blocks - 1, part.blocks, 0, blocks);
  while (at.length < seam.events.length) at.push(0);
  const first = part.firstSeen;
  for (let k = 0; first && k < first.length; k++) {
    const [map, cell] = [first.map[k], first.cell[k]];
    const last = model.lastCell[map];
    if (last >= 0) mapChanges(seam, model.cells, last, part.cells, cell, blocks + blockOf(part.blocks, cell), map);
    while (at.length < seam.events.length) at.push(first.event[k]);
  }
  append(model.blocks, part.blocks, (to, from, n) => {
    for (let i = 0; i < n; i++) to.firstCell[to.length + i] = from.firstCell[i] + cells;
  });
  append(model.cells, part.cells, () => {});
  appendEvents(model.events, part.events, seam.events, at, blocks);
  append(model.executions, part.executions, (to, from, n) => {
    for (let i = 0; i < n; i++) to.block[to.length + i] = from.block[i] + blocks;
  });
  for (let m = 0; m < MAX_MAPS; m++) {
    model.mapsSeen[m] |= part.mapsSeen[m];
    if (part.lastCell[m] >= 0) model.lastCell[m] = part.lastCell[m] + cells;
  }
  model.backwards += part.backwards + seam.backwards;
  if (part.blocks.length > 0) model.open = part.open >= 0 ? part.open + blocks : -1;
  return model;
}

/** @param {Blocks} b @param {number} cell @returns {number} the block that holds the cell */
function blockOf(b, cell) {
  let [low, high] = [0, b.length - 1];
  while (low < high) {
    const middle = (low + high + 1) >> 1;
    if (b.firstCell[middle] <= cell) low = middle;
    else high = middle - 1;
  }
  return low;
}

/**
 * A table's rows put after another's, as they are, then shifted where they
 * point into other tables.
 * @template {{ length: number, reserve: (rows: number) => void }} T
 * @template {{ length: number }} F
 * @param {T} to
 * @param {F} from
 * @param {(to: T, from: F, n: number) => void} shift
 */
function append(to, from, shift) {
  const n = from.length;
  to.reserve(to.length + n);
  const table = /** @type {Record<string, unknown>} */ (/** @type {unknown} */ (to));
  for (const [name, column] of Object.entries(from)) {
    if (ArrayBuffer.isView(column)) {
      /** @type {Column} */ (table[name]).set(/** @type {Column} */ (/** @type {unknown} */ (column)).subarray(0, n),
        to.length);
    }
  }
  shift(to, from, n);
  to.length += n;
}

/**
 * The part's events after the model's, with the seam's put in: seam event k
 * before the part's event at[k].
 * @param {Reading["events"]} to
 * @param {Events} from
 * @param {Events} seam
 * @param {number[]} at
 * @param {number} blocks the model's, by which the part's blocks shift
 */
function appendEvents(to, from, seam, at, blocks) {
  to.reserve(to.length + from.length + seam.length);
  let k = 0;
  /** @param {Events} e @param {number} i @param {number} shift */
  const put = (e, i, shift) => {
    const j = to.length++;
    to.kind[j] = e.kind[i];
    to.block[j] = e.block[i] + shift;
    to.map[j] = e.map[i];
    to.from[j] = e.from[i];
    to.to[j] = e.to[i];
  };
  for (let i = 0; i <= from.length; i++) {
    for (; k < seam.length && at[k] === i; k++) put(seam, k, 0);
    if (i < from.length) put(from, i, blocks);
  }
}

/**
 * A table's columns and length without its add and reserve.
 * @template {{ length: number }} T
 * @param {T & { add: () => number }} table
 * @returns {T}
 */
function columnsOf(table) {
  const columns = { ...table };
  Reflect.deleteProperty(columns, "add");
  Reflect.deleteProperty(columns, "reserve");
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
