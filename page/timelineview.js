// The timeline's view without a page: where it stands in the log and how wide a
// block is drawn, the keyboard's cursor and the chosen cell, and the geometry
// that ties blocks to pixels. Every function gives a new view and leaves the
// one it is given as it was.
//
// Where a drawn unit stands for several blocks it shows what any of them
// holds; no unit is narrower than two pixels. A mark is a glyph of a fixed
// least size at any zoom, wider than its unit where the unit is narrow, so
// that a thing one block in thousands holds is seen and can be clicked.

import { CUT_OFF, EVENT, EXECUTION } from "./summary.js";

export const ROW = 18; // a cell and a gap of one pixel
export const BAND = 3; // the flag marks along a cell's top and foot
export const LEFT = 72; // the band of map names on the left
export const STRIP = 12;
export const LABELS = 15; // the band of time stamps at the top
export const TOP = LABELS + 3 * (STRIP + 1) + 2;
/** @param {number} rows @returns {number} the drawing's height in pixels for so many rows */
export const height = (rows) => TOP + rows * ROW;
export const UNIT = 2; // the narrowest unit drawn
export const MAX_COLUMN = 80;

/** @typedef {{ block: number, map: number }} Cell */
/**
 * The view: `first` is the block (fractional) at the plot's left edge, `width` a block's width in pixels;
 * `highlight` an owner's index and `narrowed` a map, or -1.
 * @typedef {{ first: number, width: number, chosen: Cell | null, cursor: Cell, highlight: number,
 *   narrowed: number, focused: boolean }} View
 */
/**
 * The drawing's width in pixels, the log's blocks and the timeline's rows.
 * @typedef {{ pixels: number, blocks: number, rows: number }} Size
 */
/**
 * What tells where a block's cells are and which of them hold a mark, and each block's marks in the strips (the
 * summary's bits, with those after the last block).
 * @typedef {{ firstCell: ArrayLike<number>, expected: ArrayLike<number>, present: ArrayLike<number>,
 *   flags: ArrayLike<number>, changed: ArrayLike<number>, marks: ArrayLike<number> }} CellMarks
 */

/** @param {Size} size @returns {number} the plot's width in pixels, right of the names */
export const plot = (size) => size.pixels - LEFT;

/** @param {Size} size @returns {number} the width of a block when the whole log fits */
export const fit = (size) => Math.max(Math.min(plot(size) / Math.max(size.blocks, 1), MAX_COLUMN), 0.01);

/** @param {View} view @param {Size} size @returns {number} how many blocks the plot shows */
export const shown = (view, size) => plot(size) / view.width;

/** @param {Size} size @returns {View} the whole log in view */
export const initial = (size) => ({ first: 0, width: fit(size), chosen: null, cursor: { block: 0, map: 0 },
  highlight: -1, narrowed: -1, focused: false });

/**
 * The view with its width between the whole log's and the widest column, and its scroll inside the log.
 * @param {View} view @param {Size} size @returns {View}
 */
export function clamp(view, size) {
  const width = Math.min(MAX_COLUMN, Math.max(fit(size), view.width));
  const first = Math.max(0, Math.min(size.blocks - plot(size) / width, view.first));
  return { ...view, width, first };
}

/** @param {View} view @param {Size} size @returns {View} the whole log in view again */
export const whole = (view, size) => clamp({ ...view, width: fit(size), first: 0 }, size);

/**
 * Each drawn unit in view, in order: its blocks [from, to) and its pixels [left, right).
 * @param {View} view @param {Size} size
 * @param {(from: number, to: number, left: number, right: number) => void} visit
 */
export function forEachUnit(view, size, visit) {
  const w = view.width;
  const right = size.pixels;
  if (w >= UNIT) {
    const gap = w >= 4 ? 1 : 0;
    for (let block = Math.floor(view.first); block < size.blocks; block++) {
      const left = LEFT + Math.floor((block - view.first) * w);
      if (left >= right) break;
      visit(block, block + 1, Math.max(LEFT, left), Math.min(right, LEFT + Math.floor((block + 1 - view.first) * w) - gap));
    }
    return;
  }
  for (let x = LEFT; x < right; x += UNIT) {
    const from = x === LEFT ? Math.floor(view.first) : Math.ceil(view.first + (x - LEFT) / w);
    if (from >= size.blocks) break;
    const to = Math.min(size.blocks, Math.ceil(view.first + (x + UNIT - LEFT) / w));
    if (from < to) visit(from, to, x, Math.min(right, x + UNIT));
  }
}

/**
 * The pixels [left, right) of the unit that holds a block, as wide as it is drawn or at least a unit.
 * @param {View} view @param {number} block @returns {[number, number]}
 */
export function unitOf(view, block) {
  const w = view.width;
  if (w >= UNIT) {
    const left = LEFT + Math.floor((block - view.first) * w);
    return [left, Math.max(left + UNIT, LEFT + Math.floor((block + 1 - view.first) * w))];
  }
  const left = LEFT + Math.floor(((block - view.first) * w) / UNIT) * UNIT;
  return [left, left + UNIT];
}

/**
 * The view zoomed by a factor, with the block at a pixel kept there where the log's ends allow.
 * @param {View} view @param {Size} size @param {number} factor @param {number} atX @returns {View}
 */
export function zoom(view, size, factor, atX) {
  const column = view.first + (atX - LEFT) / view.width;
  const { width } = clamp({ ...view, width: view.width * factor }, size);
  return clamp({ ...view, width, first: column - (atX - LEFT) / width }, size);
}

/**
 * The view of a log that grew: where it showed the log's end, it shows the new end, at the same zoom, as a
 * terminal does; else it stays where it was.
 * @param {View} view @param {Size} before @param {Size} after @returns {View}
 */
export function grown(view, before, after) {
  const atEnd = view.first + shown(view, before) >= before.blocks - 0.5;
  return clamp(atEnd ? { ...view, first: after.blocks - shown(view, after) } : view, after);
}

/** @param {View} view @param {Size} size @param {number} pixels @returns {View} scrolled by so many pixels */
export const scroll = (view, size, pixels) => clamp({ ...view, first: view.first + pixels / view.width }, size);

/** @param {View} view @param {Size} size @param {number} block @returns {View} with the block in view */
export function show(view, size, block) {
  const room = shown(view, size);
  const out = block < view.first || block + 1 > view.first + room;
  return clamp(out ? { ...view, first: block + 0.5 - room / 2 } : view, size);
}

/** @param {View} view @param {Size} size @param {number} block @returns {boolean} whether the block is drawn */
export const inView = (view, size, block) => block >= Math.floor(view.first) && block < view.first + shown(view, size);

/** @param {View} view @param {Size} size @param {Cell} cell @returns {View} the cell chosen, with the cursor on it */
export const choose = (view, size, cell) => show({ ...view, chosen: { ...cell }, cursor: { ...cell } }, size, cell.block);

/**
 * The view as the timeline takes the focus: its cursor brought to the view's first block if it is out of view.
 * @param {View} view @param {Size} size @returns {View}
 */
export function focus(view, size) {
  const { block, map } = view.cursor;
  const away = block < view.first || block >= view.first + shown(view, size);
  const cursor = away ? { block: Math.min(size.blocks - 1, Math.ceil(view.first)), map } : view.cursor;
  return clamp({ ...view, focused: true, cursor }, size);
}

/**
 * A key's change of the view: the arrows, Home, End and PageUp/PageDown move the cursor (the pages scroll the
 * view by a screen), + = and - zoom around the cursor. Null for any other key.
 * @param {View} view @param {Size} size @param {string} key @returns {{ view: View, moved: boolean } | null}
 */
export function press(view, size, key) {
  const { block, map } = view.cursor;
  if (key === "+" || key === "=" || key === "-") {
    const [left, right] = unitOf(view, block);
    return { view: show(zoom(view, size, key === "-" ? 0.5 : 2, (left + right) / 2), size, block), moved: false };
  }
  const screen = Math.max(1, Math.floor(shown(view, size)));
  /** @type {Record<string, [number, number]>} */
  const moves = {
    ArrowLeft: [block - 1, map], ArrowRight: [block + 1, map], ArrowUp: [block, map - 1], ArrowDown: [block, map + 1],
    Home: [0, map], End: [size.blocks - 1, map], PageUp: [block - screen, map], PageDown: [block + screen, map],
  };
  if (!Object.hasOwn(moves, key)) return null;
  const [to, row] = moves[key];
  const page = key === "PageUp" ? -screen : key === "PageDown" ? screen : 0;
  const cursor = { block: Math.max(0, Math.min(size.blocks - 1, to)), map: Math.max(0, Math.min(size.rows - 1, row)) };
  const moved = clamp({ ...view, first: view.first + page, cursor }, size);
  // A page keeps the cursor where it stood, even on a block that an edge cuts: to centre it would skip blocks.
  return { view: page && inView(moved, size, cursor.block) ? moved : show(moved, size, cursor.block), moved: true };
}

/** @param {number} y @param {Size} size @returns {number} the map of the row at a pixel's height, or -1 */
export function mapAt(y, size) {
  const map = Math.floor((y - TOP) / ROW);
  return map < 0 || map >= size.rows ? -1 : map;
}

/** @param {number} y @returns {number} the strip at a pixel's height (0 the blocks', 1 the events', 2 the execution decals'), or -1 */
export function stripAt(y) {
  const strip = Math.floor((y - LABELS) / (STRIP + 1));
  return strip < 0 || strip > 2 || y - LABELS - strip * (STRIP + 1) >= STRIP ? -1 : strip;
}

// The marks as their glyphs draw them: in a map's row (as the levels count them), then in the strips.
export const CLEAR = 0;
export const RESET = 1;
export const INACTIVE = 2;
export const CHANGED = 3;
export const CUT = 4;
export const EVENTS = 5;
export const EXECUTIONS = 6;
export const GLYPH = 6; // a glyph's least width: with its least height of 2, 12 pixels
const LEAST_BAR = 6; // the owner change's bar is a unit wide and 6 pixels tall at least
const STRIP_BITS = [CUT_OFF, EVENT, EXECUTION];

/**
 * The size of a mark that n of a unit's span blocks hold: in proportion to their share, from `least` pixels to most.
 * @param {number} n @param {number} span @param {number} most @param {number} [least]
 */
export const share = (n, span, most, least = 2) =>
  (n === 0 ? 0 : least - 1 + Math.ceil(((most - least + 1) * Math.min(n, span)) / span));

/**
 * The lines [top, bottom) of a mark that n of a unit's span blocks hold, in a map's row or in its strip: bands
 * along a cell's top and foot, a bar in its middle, the slash of a lone inactive flag across its middle; in the
 * strips a bar from the top for those cut off, from the foot for events and execution decals.
 * @param {number} mark @param {number} row @param {number} n @param {number} span @returns {[number, number]}
 */
export function lines(mark, row, n, span) {
  if (mark >= CUT) {
    const top = LABELS + (mark - CUT) * (STRIP + 1);
    const size = share(n, span, STRIP);
    return mark === CUT ? [top, top + size] : [top + STRIP - size, top + STRIP];
  }
  const top = TOP + row * ROW;
  const band = span === 1 ? BAND : 2 * BAND;
  if (mark === CLEAR) return [top, top + share(n, span, band)];
  if (mark === RESET) return [top + ROW - 1 - share(n, span, band), top + ROW - 1];
  const size = mark === CHANGED ? share(n, span, ROW - 1, LEAST_BAR) : GLYPH;
  const middle = top + ((ROW - 1 - size) >> 1);
  return [middle, middle + size];
}

/**
 * The pixels [from, to) that the glyphs of a unit [left, right) take in a row or strip of a drawing so many pixels
 * wide: GLYPH pixels about the unit where it is narrower, kept in the plot, but not over the unit before or after
 * it where that holds a mark there of its own (`before`, `after`): side by side, their marks meet.
 * @param {number} left @param {number} right @param {number} pixels @param {boolean} before @param {boolean} after
 * @returns {[number, number]}
 */
export function reach(left, right, pixels, before, after) {
  if (right - left >= GLYPH) return [left, right];
  const from = Math.max(LEFT, Math.min(pixels - GLYPH, left - ((GLYPH - (right - left)) >> 1)));
  return [before ? left : from, after ? right : from + GLYPH];
}

/**
 * The stripes of an inactive flag that n of a unit's span blocks hold, one every so many pixels: closer the more.
 * @param {number} n @param {number} span
 */
export const stripes = (n, span) => Math.min(16, Math.round((4 * span) / n));

/**
 * A mark's glyph, as rectangles [x0, y0, x1, y1), for n of a unit's span blocks holding it, the unit's pixels
 * [left, right) and its glyphs' reach (see reach). The owner change's bar stays on the unit's left; an inactive
 * flag is a slash that falls to the left as the stripes do where the glyph reaches past the unit, else the
 * unit's stripes, where x + y is a multiple of their spacing.
 * @param {number} mark @param {number} row @param {number} n @param {number} span
 * @param {[number, number]} unit @param {[number, number]} reached @returns {Array<[number, number, number, number]>}
 */
export function glyph(mark, row, n, span, [left, right], [from, to]) {
  const [top, bottom] = lines(mark, row, n, span);
  if (mark === CHANGED) return [[left, top, Math.min(right, left + UNIT), bottom]];
  if (mark !== INACTIVE) return [[from, top, to, bottom]];
  /** @type {Array<[number, number, number, number]>} */
  const found = [];
  if (to - from <= right - left) {
    const every = stripes(n, span);
    for (let y = TOP + row * ROW; y < TOP + row * ROW + ROW - 1; y++) {
      for (let x = left + ((every - ((left + y) % every)) % every); x < right; x += every) found.push([x, y, x + 1, y + 1]);
    }
    return found;
  }
  const middle = (from + to) >> 1;
  for (let y = top; y < bottom; y++) {
    const x = middle + 1 - (y - top);
    found.push([Math.max(from, x), y, Math.min(to, x + 3), y + 1]);
  }
  return found;
}

/**
 * The block under a pixel of the plot in a map's row, or in a strip (`map` -1 - the strip), or -1: the first block
 * that holds a mark there of the unit whose glyphs cover the pixel (the unit under it, or a unit beside it whose
 * glyphs reach past it), else the first block of the unit under it. So a mark seen in a wide view leads to its block.
 * @param {View} view @param {Size} size @param {number} x @param {number} map @param {CellMarks} cells
 * @returns {number}
 */
export function blockAt(view, size, x, map, cells) {
  const bit = map < 0 ? STRIP_BITS[-1 - map] : 0;
  /** @type {(block: number) => unknown} */
  const holds = map < 0
    ? (block) => (cells.marks[block] & bit || (bit === EXECUTION && block === size.blocks - 1
      && cells.marks[size.blocks] & bit))
    : (block) => {
      const cell = cells.firstCell[block] + map;
      return map < cells.expected[block] && cells.present[cell] && (cells.flags[cell] & 7 || cells.changed[cell]);
    };
  /** @type {number[][]} */
  const units = [];
  forEachUnit(view, size, (from, to, left, right) => units.push([from, to, left, right]));
  const gap = view.width >= 4 ? 1 : 0;
  const under = units.findIndex(([, , left, right]) => x >= left && x < right + gap);
  if (under < 0) return -1;
  /** @param {number} u @returns {number} the unit's first block that holds a mark there, or -1 */
  const first = (u) => {
    if (u < 0 || u >= units.length) return -1;
    for (let block = units[u][0]; block < units[u][1]; block++) if (holds(block)) return block;
    return -1;
  };
  if (first(under) >= 0) return first(under);
  let [found, distance] = [units[under][0], Infinity];
  for (let u = Math.max(0, under - 3); u <= under + 3; u++) {
    if (first(u) < 0) continue;
    const [from, to] = reach(units[u][2], units[u][3], size.pixels, first(u - 1) >= 0, first(u + 1) >= 0);
    const away = Math.abs(x + 0.5 - (units[u][2] + units[u][3]) / 2);
    if (x >= from && x < to && away <= distance) [found, distance] = [first(u), away];
  }
  return found;
}

/** @param {number} map @returns {string} a map's name, as its row and the log say it */
export const mapName = (map) => `map[${String(map).padStart(2, "0")}]`;
