// The timeline's view without a page: where it stands in the log and how wide a
// block is drawn, the keyboard's cursor and the chosen cell, and the geometry
// that ties blocks to pixels. Every function gives a new view and leaves the
// one it is given as it was.
//
// Where a drawn unit stands for several blocks it shows what any of them
// holds; no unit is narrower than two pixels, so that every mark shows.

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
 * What tells where a block's cells are and which of them hold a mark.
 * @typedef {{ firstCell: ArrayLike<number>, expected: ArrayLike<number>, present: ArrayLike<number>,
 *   flags: ArrayLike<number>, changed: ArrayLike<number> }} CellMarks
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

/**
 * The block under a pixel of the plot in a map's row, or -1: in a unit of several blocks, the first one whose
 * cell there holds a mark, so that a mark seen in a wide view leads to its block.
 * @param {View} view @param {Size} size @param {number} x @param {number} map @param {CellMarks} cells
 * @returns {number}
 */
export function blockAt(view, size, x, map, cells) {
  let found = -1;
  forEachUnit(view, size, (from, to, left, right) => {
    if (found >= 0 || x < left || x >= right + (view.width >= 4 ? 1 : 0)) return;
    found = from;
    for (let block = from; block < to; block++) {
      const cell = cells.firstCell[block] + map;
      if (map < cells.expected[block] && cells.present[cell] && (cells.flags[cell] & 7 || cells.changed[cell])) {
        found = block;
        return;
      }
    }
  });
  return found;
}

/** @param {number} map @returns {string} a map's name, as its row and the log say it */
export const mapName = (map) => `map[${String(map).padStart(2, "0")}]`;
