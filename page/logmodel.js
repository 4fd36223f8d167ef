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

function grow(array, size) {
  if (size <= array.length) return array;
  const grown = new array.constructor(size);
  grown.set(array);
  return grown;
}

// A growable table of typed columns.
function table(columns, capacity) {
  const names = Object.keys(columns);
  const t = { length: 0, capacity };
  for (const name of names) t[name] = new columns[name](capacity);
  t.add = () => {
    if (t.length === t.capacity) {
      t.capacity *= 2;
      for (const name of names) t[name] = grow(t[name], t.capacity);
    }
    return t.length++;
  };
  return t;
}

export function create() {
  const model = {
    blocks: table({
      start: Float64Array, end: Float64Array, time: Float64Array, manager: Uint32Array, mapCount: Uint16Array,
      renderedCount: Uint16Array, cleanupTimer: Uint32Array, after: Uint8Array, expected: Uint8Array,
      seen: Uint8Array, firstCell: Uint32Array,
    }, 1024),
    cells: table({ owner: Uint32Array, decals: Uint8Array, rendered: Uint8Array, flags: Uint8Array,
      slot: Uint8Array, present: Uint8Array }, 65536),
    events: table({ kind: Uint8Array, block: Uint32Array, map: Uint8Array, from: Uint32Array, to: Uint32Array }, 1024),
    executions: table({ offset: Float64Array, block: Uint32Array, splatter: Uint8Array }, 256),
    mapsSeen: new Uint8Array(MAX_MAPS),
    backwards: 0, // time stamps earlier than the block before
    open: -1, // the block whose map lines are still to come
    // Per map index: the cell of the last block that showed it, for events.
    lastCell: new Int32Array(MAX_MAPS).fill(-1),
  };
  return model;
}

function event(model, kind, block, map, from, to) {
  const e = model.events;
  const i = e.add();
  e.kind[i] = kind;
  e.block[i] = block;
  e.map[i] = map;
  e.from[i] = from;
  e.to[i] = to;
}

// A header line: a new block, which stays open until its map lines are in.
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

// A map line of the open block; false when there is none for it, or it
// stands there already.
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

// An execution decal line: on the same axis, before the next block.
export function addExecution(model, offset, splatter) {
  const x = model.executions;
  const i = x.add();
  x.offset[i] = offset;
  x.block[i] = model.blocks.length;
  x.splatter[i] = splatter ? 1 : 0;
}

export const mapsSeen = (model) => model.mapsSeen.reduce((sum, seen) => sum + seen, 0);
export const whole = (model, block) => model.blocks.seen[block] === model.blocks.expected[block];

// The model as a worker can post it: each table's columns without its add,
// which only the reading calls and which cannot be cloned.
export function withoutAdd(model) {
  const tables = ["blocks", "cells", "events", "executions"].map((name) =>
    [name, Object.fromEntries(Object.entries(model[name]).filter(([key]) => key !== "add"))]);
  return { ...model, ...Object.fromEntries(tables) };
}
