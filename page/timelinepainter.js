// Draws the damage maps' timeline as its view says: one column per block in
// file order, one row per map index, a cell in its owner's colour with marks
// for its flags; above the rows, a strip for before/after (an unfinished block
// in red), one for the events and one for the execution decals. Only what is in
// view is drawn, a chunk of columns at a time, from the levels of summary
// whose spans make up each drawn unit, so that a log of a hundred thousand
// blocks scrolls and zooms at once. Marks differ by place and shape, not by
// shade; where a unit stands for several blocks, a mark's size tells the share
// of its blocks that hold it. A mark is at least a glyph of a fixed size, which
// reaches over the units beside a narrow one where they hold no mark of their own.

import * as LogModel from "./logmodel.js";
import * as Levels from "./levels.js";
import { clock } from "./logwords.js";
import { EXECUTION, css, rgba } from "./summary.js";
import * as View from "./timelineview.js";

const { ROW, BAND, LEFT, STRIP, LABELS, TOP, UNIT } = View;
const FONT = "10px sans-serif";

/** @typedef {{ background: number, empty: number, before: number, after: number, text: string, mark: number }} Scheme */
// The colours that follow the page's light or dark scheme; the flags' marks
// stand out against the paper, which a cell's marked edge meets.
/** @type {Scheme} */
const LIGHT = { background: rgba(250, 250, 250), empty: rgba(226, 226, 232), before: rgba(190, 190, 196),
  after: rgba(90, 90, 100), text: "#333", mark: rgba(17, 17, 17) };
/** @type {Scheme} */
const DARK = { background: rgba(23, 23, 26), empty: rgba(48, 48, 56), before: rgba(150, 150, 160),
  after: rgba(78, 78, 90), text: "#d8d8e0", mark: rgba(240, 240, 244) };
const UNFINISHED = rgba(200, 30, 30);
const EVENT_COLOUR = rgba(230, 120, 0);
const EXECUTION_COLOUR = rgba(140, 0, 160);

const BUDGET = 8; // ms of drawing in one frame
const CHUNK = 96; // the widest run of columns drawn between looks at the clock

/**
 * The units of one drawing: the blocks [from, to) and the pixels [left, right) of each.
 * @typedef {{ count: number, from: Int32Array, to: Int32Array, left: Int32Array, right: Int32Array }} Units
 */
/**
 * What the painter draws on: the timeline's canvas, on the page or handed to a worker, and the ones it makes.
 * @typedef {HTMLCanvasElement | OffscreenCanvas} Surface
 * @typedef {CanvasRenderingContext2D | OffscreenCanvasRenderingContext2D} Context
 */
/**
 * The drawing's size in CSS pixels, and the device's pixels to one of them, which the canvas's buffer has.
 * @typedef {{ width: number, height: number, scale: number }} Geometry
 */
/**
 * What the painter tells: drawn() after each whole drawing.
 * @typedef {{ drawn: () => void }} Told
 */
/**
 * A painter's own state. `nextUnit` is where an unfinished drawing goes on in the next frame, -1 to begin anew;
 * `frame` the drawing's pixels (`pixels` its words), put on the canvas once they are all drawn, made again only
 * for a new size; `framed` what its columns were drawn from once they are all drawn (see columnsOf), else "";
 * `seen` the cells of each owner in view; `got` what the unit being drawn holds, `before` what the unit before
 * it holds; `held` 1 for each unit, row and strip (after the rows) where the unit holds a mark; `lit` where the
 * highlighted owner is, made a piece at a time once it is highlighted.
 * `width` and `height` are the drawing's in CSS pixels, which `frame` has; `scale` the device's pixels to one
 * of them, which the canvas's buffer has (`plain` takes the frame to be scaled up where it is not 1).
 * @typedef {{ canvas: Surface, context: Context, model: import("./logmodel.js").Model,
 *   width: number, height: number, scale: number, plain: Context,
 *   summary: Levels.Summarised, told: Told, view: View.View, scheme: Scheme,
 *   words: Uint32Array, seen: Uint32Array, got: Levels.Gathered, before: Levels.Gathered, held: Uint8Array,
 *   lit: Levels.Lit | null,
 *   frame: ImageData | null, pixels: Uint32Array, framed: string, units: Units, nextUnit: number, pending: boolean,
 *   names: { band: Surface | null, narrowed: number, scheme: Scheme | null } }} Painter
 */

/** @param {number} word @returns {number} the relative luminance of an ImageData word */
function luminance(word) {
  /** @param {number} channel */
  const linear = (channel) => {
    const c = channel / 255;
    return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
  };
  return 0.2126 * linear(word & 255) + 0.7152 * linear((word >>> 8) & 255) + 0.0722 * linear((word >>> 16) & 255);
}
// Black or white, whichever stands out more: never under 4.5:1 against any colour.
/** @param {number} word */
const ink = (word) => (luminance(word) > 0.179 ? "#000" : "#fff");
/** @param {number} word @param {number} background */
const faded = (word, background) => {
  /** @param {number} shift */
  const mix = (shift) => Math.round(((word >>> shift) & 255) * 0.3 + ((background >>> shift) & 255) * 0.7);
  return rgba(mix(0), mix(8), mix(16));
};

/** @param {Surface} canvas @returns {Context} */
function context2d(canvas) {
  const context = canvas.getContext("2d");
  if (!context) throw new Error("the timeline has no 2D context");
  return /** @type {Context} */ (context);
}

// A canvas of the painter's own: offscreen where the browser has one, which a worker needs.
/** @param {number} width @param {number} height @returns {Surface} */
function surface(width, height) {
  if (typeof OffscreenCanvas === "function") return new OffscreenCanvas(width, height);
  const made = document.createElement("canvas");
  [made.width, made.height] = [width, height];
  return made;
}

// The canvas's buffer in the device's pixels, so that nothing drawn is scaled
// by the browser; true where that changed it (which clears it).
/** @param {Surface} canvas @param {Geometry} geometry */
function sized(canvas, { width, height, scale }) {
  const device = [Math.round(width * scale), Math.round(height * scale)];
  const changed = canvas.width !== device[0] || canvas.height !== device[1];
  if (changed) [canvas.width, canvas.height] = device;
  return changed;
}

// The canvas that the columns are drawn on in CSS pixels, as large as the drawing.
/** @param {Painter} p */
function plainSize(p) {
  p.plain.canvas.width = p.width;
  p.plain.canvas.height = p.height;
}

/** @param {number} size @returns {Units} */
const newUnits = (size) => ({ count: 0, from: new Int32Array(size), to: new Int32Array(size),
  left: new Int32Array(size), right: new Int32Array(size) });

/** @param {Painter} p @returns {View.Size} */
const sizeOf = (p) => ({ pixels: p.width, blocks: p.model.blocks.length, rows: p.summary.rows });

/**
 * A painter for a canvas of the geometry given, as tall as the summary's rows; it draws a view when asked, in the
 * dark scheme or the light, and tells when a drawing is whole.
 * @param {Surface} canvas
 * @param {import("./logmodel.js").Model} model
 * @param {Levels.Summarised} summary
 * @param {Geometry & { dark: boolean }} start
 * @param {Told} told
 */
export function create(canvas, model, summary, { width, height, scale, dark }, told) {
  sized(canvas, { width, height, scale });
  const size = { pixels: width, blocks: model.blocks.length, rows: summary.rows };
  /** @type {Painter} */
  const p = { canvas, context: context2d(canvas), model, summary, told, view: View.initial(size),
    width, height, scale, plain: context2d(surface(width, height)),
    scheme: dark ? DARK : LIGHT, words: summary.list.word,
    seen: new Uint32Array(summary.list.length), got: Levels.gathered(summary.rows),
    before: Levels.gathered(summary.rows), held: new Uint8Array(0), lit: null, frame: null, framed: "",
    pixels: new Uint32Array(0), units: newUnits(0), nextUnit: -1, pending: false,
    names: { band: null, narrowed: -1, scheme: null } };
  // The names' first text is slow to lay out: in a task of its own before the words need them.
  setTimeout(() => nameBand(p));
  return {
    /** @param {View.View} view */
    redraw: (view) => redraw(p, view),
    width: () => p.width,
    /** @param {boolean} darkNow the scheme that the page now follows */
    scheme(darkNow) {
      p.scheme = darkNow ? DARK : LIGHT;
      redraw(p, p.view);
    },
    /**
     * The drawing made for a new geometry, which the canvas takes as the drawing is put on it: a canvas resized
     * at once would show empty until then. True if that changes it, and the view must be drawn again.
     * @param {Geometry} geometry
     */
    resize({ width: w, height: h, scale: s }) {
      if (w === p.width && h === p.height && s === p.scale) return false;
      Object.assign(p, { width: w, height: h, scale: s });
      p.names.band = null;
      plainSize(p);
      return true;
    },
    /**
     * The model and summary of the log as it grew, drawn whole from the next view on.
     * @param {import("./logmodel.js").Model} model
     * @param {Levels.Summarised} summary
     */
    grow(model, summary) {
      if (summary.rows !== p.summary.rows) {
        [p.got, p.before] = [Levels.gathered(summary.rows), Levels.gathered(summary.rows)];
        p.names.band = null;
      }
      if (p.seen.length < summary.list.length) p.seen = new Uint32Array(summary.list.length);
      Object.assign(p, { model, summary, words: summary.list.word, lit: null, framed: "" });
    },
    /**
     * The owners of the cells in view, as counted when the last drawing began, in their order.
     * @returns {Array<[number, number]>}
     */
    ownersInView() {
      /** @type {Array<[number, number]>} */
      const found = [];
      for (let owner = 0; owner < p.seen.length; owner++) if (p.seen[owner] > 0) found.push([owner, p.seen[owner]]);
      return found;
    },
  };
}

/** @typedef {ReturnType<typeof create>} Handle a painter's controls */

// The next frame's turn: a worker without frames of its own draws at about their pace.
/** @param {() => void} go */
const nextFrame = (go) => (typeof requestAnimationFrame === "function" ? requestAnimationFrame(go) : setTimeout(go, 16));

// Drawing waits for the next frame: input in between only moves the view.
/** @param {Painter} p @param {View.View} view */
function redraw(p, view) {
  p.view = view;
  p.nextUnit = -1;
  if (!p.pending) {
    p.pending = true;
    nextFrame(() => draw(p));
  }
}

// The drawing goes on a chunk of columns at a time and, past its budget, in
// the next frame, and is put on the canvas whole with its words: no frame of
// a long log keeps the page busy for long, even on a slow computer, and the
// canvas changes, and is sent to the screen, once for each drawing.
/** @param {Painter} p */
function draw(p) {
  p.pending = false;
  const started = performance.now();
  const spent = () => performance.now() - started >= BUDGET;
  const { context } = p;
  if (!p.frame || p.frame.width !== p.width || p.frame.height !== p.height) {
    p.frame = context.createImageData(p.width, p.height);
    p.pixels = new Uint32Array(p.frame.data.buffer);
  }
  if (p.nextUnit < 0) {
    // A view that differs from the one drawn only in its cursor or its chosen cell keeps the columns drawn.
    if (p.framed === columnsOf(p)) p.nextUnit = p.units.count;
    else measure(p);
  }
  const units = p.units;
  const lighting = p.view.highlight >= 0 && p.lit !== null && !p.lit.more(spent);
  const first = p.nextUnit;
  while (!lighting && p.nextUnit < units.count && !spent()) p.nextUnit = drawChunk(p, p.nextUnit);
  // The picture and its words go on in a frame of their own when the columns took long.
  const finish = !lighting && p.nextUnit === units.count && (first === units.count || !spent());
  if (!finish) {
    p.pending = true;
    nextFrame(() => draw(p));
    return;
  }
  p.nextUnit = -1;
  p.framed = columnsOf(p);
  put(p, p.frame);
  labels(p);
  p.told.drawn();
}

// What the columns' pixels are drawn from: the blocks in view, the highlight, the scheme and the size.
/** @param {Painter} p */
const columnsOf = ({ view, scheme, width, height }) =>
  `${view.first} ${view.width} ${view.highlight} ${scheme === DARK} ${width} ${height}`;

// The drawing's pixels on the canvas: as they are, or through the plain canvas
// scaled up, each pixel a square of the device's.
/** @param {Painter} p @param {ImageData} frame */
function put(p, frame) {
  const { context, scale } = p;
  sized(p.canvas, p);
  context.setTransform(1, 0, 0, 1, 0, 0);
  if (scale === 1) return context.putImageData(frame, 0, 0);
  p.plain.putImageData(frame, 0, 0);
  context.imageSmoothingEnabled = false;
  context.drawImage(p.plain.canvas, 0, 0, p.width, p.height, 0, 0, p.width * scale, p.height * scale);
}

// The units in view, for a drawing that begins, and the owners' cells in them.
/** @param {Painter} p */
function measure(p) {
  const capacity = Math.ceil(p.width / UNIT) + 2;
  if (p.units.from.length < capacity) p.units = newUnits(capacity);
  if (p.held.length < capacity * (p.summary.rows + 3)) p.held = new Uint8Array(capacity * (p.summary.rows + 3));
  const units = p.units;
  units.count = 0;
  View.forEachUnit(p.view, sizeOf(p), (from, to, left, right) => {
    const u = units.count++;
    units.from[u] = from;
    units.to[u] = to;
    units.left[u] = left;
    units.right[u] = right;
  });
  const { model, summary, view } = p;
  if (units.count > 0) {
    Levels.ownerCells(model, summary, summary.levels, units.from[0], units.to[units.count - 1], p.seen);
  } else p.seen.fill(0);
  if (view.highlight >= 0 && p.lit?.owner !== view.highlight) {
    p.lit = Levels.lit(model, summary, summary.levels, view.highlight);
  }
  p.pixels.fill(p.scheme.background);
  p.framed = "";
  p.nextUnit = 0;
}

// The units from the given one that fit in one chunk's width, drawn into the
// frame; gives the unit after them. A unit's glyphs go on once the unit after
// it is drawn, over it where they reach so far.
/** @param {Painter} p @param {number} firstUnit @returns {number} */
function drawChunk(p, firstUnit) {
  const units = p.units;
  const x0 = units.left[firstUnit];
  let u = firstUnit;
  for (; u < units.count && units.right[u] - x0 <= CHUNK; u++) {
    Levels.gather(p.model, p.summary, p.summary.levels, units.from[u], units.to[u], p.got);
    if (p.lit && p.view.highlight >= 0) {
      Levels.gatherLit(p.model, p.summary, p.summary.levels, units.from[u], units.to[u], p.got, p.lit);
    }
    drawStrips(p, u);
    drawCells(p, u);
    if (u > 0) drawGlyphs(p, u - 1, p.before);
    [p.before, p.got] = [p.got, p.before];
  }
  if (u === units.count && u > 0) drawGlyphs(p, u - 1, p.before);
  return u;
}

// The glyphs of a unit that reach past it: in each row and strip where it holds
// marks and the units beside it hold none (elsewhere the unit's own marks show them).
/** @param {Painter} p @param {number} u @param {Levels.Gathered} got what the unit holds */
function drawGlyphs(p, u, got) {
  const { left, right, to, from, count } = p.units;
  const rows = p.summary.rows;
  const places = rows + 3;
  const at = u * places;
  const unit = /** @type {[number, number]} */ ([left[u], right[u]]);
  const span = to[u] - from[u];
  for (let place = 0; place < places; place++) {
    if (!p.held[at + place]) continue;
    const reached = View.reach(unit[0], unit[1], p.width, u > 0 && p.held[at - places + place] === 1,
      u + 1 < count && p.held[at + places + place] === 1);
    if (reached[0] === unit[0] && reached[1] === unit[1]) continue;
    if (place < rows) {
      for (let mark = View.CLEAR; mark <= View.CHANGED; mark++) {
        const n = got.cells[4 * place + mark];
        if (n) fillAll(p, View.glyph(mark, place, n, span, unit, reached), p.scheme.mark);
      }
    } else {
      const strip = place - rows;
      fillAll(p, View.glyph(View.CUT + strip, 0, stripCount(p, u, got, strip), span, unit, reached),
        [UNFINISHED, EVENT_COLOUR, EXECUTION_COLOUR][strip]);
    }
  }
}

/** @param {Painter} p @param {Array<[number, number, number, number]>} rectangles @param {number} word */
function fillAll(p, rectangles, word) {
  for (const [x0, y0, x1, y1] of rectangles) {
    for (let y = y0; y < y1; y++) if (x0 < x1) p.pixels.fill(word, y * p.width + x0, y * p.width + x1);
  }
}

/**
 * How many of a unit's blocks hold the mark of a strip: those cut off, with events, with execution decals before
 * them (and, for the last block, after it).
 * @param {Painter} p @param {number} u @param {Levels.Gathered} got what the unit holds @param {number} strip
 */
function stripCount(p, u, got, strip) {
  const end = p.units.to[u];
  const trailing = strip === 2 && end === p.model.blocks.length && p.summary.marks[end] & EXECUTION ? 1 : 0;
  return got.blocks[[Levels.CUT_OFFS, Levels.EVENTS, Levels.EXECUTIONS][strip]] + trailing;
}

/**
 * A filler of the rows [top, bottom) of one unit's pixels in a frame so many pixels wide.
 * @param {Uint32Array} pixels @param {number} stride @param {number} left @param {number} right
 * @returns {(top: number, bottom: number, word: number) => void}
 */
const filler = (pixels, stride, left, right) => (top, bottom, word) => {
  for (let y = top; y < bottom; y++) pixels.fill(word, y * stride + left, y * stride + right);
};

const { share } = View;

// One unit's strips, each of its blocks' shares: before (light) and after
// (dark) stacked, a red bar from the top for those cut off, and bars from the
// foot for events and execution decals.
/** @param {Painter} p @param {number} u */
function drawStrips(p, u) {
  const { from, to, left, right } = p.units;
  const span = to[u] - from[u];
  const got = p.got.blocks;
  const scheme = p.scheme;
  const fill = filler(p.pixels, p.width, left[u], right[u]);
  /** @param {number} strip @param {number} size @param {number} word */
  const bar = (strip, size, word) => {
    const foot = LABELS + strip * (STRIP + 1) + STRIP;
    fill(foot - size, foot, word);
  };
  const after = Math.min(share(got[Levels.AFTER], span, STRIP), got[Levels.AFTER] < span ? STRIP - 2 : STRIP);
  bar(0, STRIP, scheme.before);
  bar(0, after, scheme.after);
  const counts = [0, 1, 2].map((strip) => stripCount(p, u, p.got, strip));
  fill(LABELS, LABELS + share(counts[0], span, STRIP), UNFINISHED);
  bar(1, share(counts[1], span, STRIP), EVENT_COLOUR);
  bar(2, share(counts[2], span, STRIP), EXECUTION_COLOUR);
  const at = u * (p.summary.rows + 3) + p.summary.rows;
  for (let strip = 0; strip < 3; strip++) p.held[at + strip] = counts[strip] > 0 ? 1 : 0;
}

// One unit's rows: in each the colour of the map's last owner there (or of the
// highlighted owner where it is among them) with its marks: bands along the
// top and the foot, stripes and a bar on the left, each as large as the share
// of the unit's blocks that hold it, and at least 2 pixels (the bar 6) where any does.
/** @param {Painter} p @param {number} u */
function drawCells(p, u) {
  const { owner, cells, lit } = p.got;
  const { words, scheme, pixels } = p;
  const mark = scheme.mark;
  const stride = p.width;
  const left = p.units.left[u];
  const right = p.units.right[u];
  const span = p.units.to[u] - p.units.from[u];
  const band = span === 1 ? BAND : 2 * BAND;
  const highlight = p.view.highlight;
  for (let row = 0; row < p.summary.rows; row++) {
    const at = 4 * row;
    const shown = highlight >= 0 && lit[row] ? highlight : owner[row];
    let word = shown >= 0 ? words[shown] : scheme.empty;
    if (highlight >= 0 && !lit[row]) word = faded(word, scheme.background);
    const top = TOP + row * ROW;
    const foot = top + ROW - 1;
    const clear = top + share(cells[at + Levels.NEEDS_CLEAR], span, band);
    const reset = foot - share(cells[at + Levels.RESET_AFTER_RENDER], span, band);
    const [movedTop, movedFoot] = View.lines(View.CHANGED, row, cells[at + Levels.CHANGED], span);
    const inactive = cells[at + Levels.INACTIVE];
    p.held[u * (p.summary.rows + 3) + row] = cells[at] | cells[at + 1] | inactive | cells[at + 3] ? 1 : 0;
    const every = inactive ? View.stripes(inactive, span) : 0;
    // The stripes fall where x + y is a multiple of every: their first x in a
    // line moves one to the left a line down.
    let phase = every ? (every - ((left + top) % every)) % every : 0;
    // Pixel by pixel: a call to fill a line two pixels wide costs more.
    for (let y = top; y < foot; y++) {
      const from = y * stride + left;
      const to = from + right - left;
      if (y < clear || y >= reset) {
        for (let x = from; x < to; x++) pixels[x] = mark;
      } else {
        const bar = y >= movedTop && y < movedFoot ? Math.min(to, from + UNIT) : from;
        let x = from;
        for (; x < bar; x++) pixels[x] = mark;
        for (; x < to; x++) pixels[x] = word;
        for (let stripe = from + phase; every && stripe < to; stripe += every) pixels[stripe] = mark;
      }
      if (every) phase = phase === 0 ? every - 1 : phase - 1;
    }
  }
}

// The words over a whole drawing: the time stamps, the names, the cells' texts
// where they are wide enough, and the frames of the chosen cell and the cursor.
/** @param {Painter} p */
function labels(p) {
  const { context, view, scheme } = p;
  const size = sizeOf(p);
  context.setTransform(p.scale, 0, 0, p.scale, 0, 0);
  context.fillStyle = scheme.text;
  context.font = FONT;
  context.textBaseline = "top";
  const every = Math.max(1, Math.ceil(110 / view.width));
  const end = Math.min(size.blocks, view.first + View.shown(view, size));
  for (let column = Math.ceil(view.first / every) * every; column < end; column += every) {
    const x = LEFT + (column - view.first) * view.width;
    const text = clock(p.model.blocks.time[column]);
    // Inside the canvas, with a clear column at its edge, since a glyph's shading may reach past its measure.
    context.fillText(text, Math.min(x + 1, p.width - 2 - Math.ceil(context.measureText(text).width)), 2);
  }
  context.fillStyle = css(scheme.background);
  context.fillRect(0, 0, LEFT, p.height);
  context.drawImage(nameBand(p), 0, 0, LEFT, p.height);
  context.save();
  context.beginPath();
  context.rect(LEFT, 0, View.plot(size), p.height);
  context.clip();
  if (view.width >= 16) cellTexts(p);
  if (view.chosen) frame(p, view.chosen, 0, "#000", []);
  if (view.focused) {
    // Dashes dark and light by turns: over any cell's colour one of the two stands out.
    frame(p, view.cursor, 3, "#000", [4, 3]);
    context.lineDashOffset = -4;
    frame(p, view.cursor, 3, "#fff", [3, 4]);
    context.lineDashOffset = 0;
  }
  context.restore();
}

// The names of the strips and the rows, drawn again only when the narrowed row or the scheme changes.
/** @param {Painter} p @returns {Surface} */
function nameBand(p) {
  const { view, scheme, names } = p;
  if (names.band && names.narrowed === view.narrowed && names.scheme === scheme) return names.band;
  const band = surface(Math.round(LEFT * p.scale), Math.round(p.height * p.scale));
  const context = context2d(band);
  context.scale(p.scale, p.scale);
  context.font = FONT;
  context.textBaseline = "middle";
  context.fillStyle = scheme.text;
  for (const [i, name] of ["block", "events", "executions"].entries()) {
    context.fillText(name, 2, LABELS + i * (STRIP + 1) + STRIP / 2);
  }
  for (let row = 0; row < p.summary.rows; row++) {
    const y = TOP + row * ROW + (ROW - 1) / 2;
    if (row === view.narrowed) {
      context.fillRect(0, TOP + row * ROW, LEFT - 4, ROW - 1);
      context.fillStyle = css(scheme.background);
    }
    context.fillText(View.mapName(row), 4, y);
    context.fillStyle = scheme.text;
  }
  p.names = { band, narrowed: view.narrowed, scheme };
  return band;
}

// The decals on each cell, and its slot where there is room.
/** @param {Painter} p */
function cellTexts(p) {
  const { context, view, scheme } = p;
  const { firstCell, expected } = p.model.blocks;
  const { present, decals, slot } = p.model.cells;
  const { rows, ownerOf, list } = p.summary;
  context.textBaseline = "alphabetic";
  context.lineWidth = 2;
  context.lineJoin = "round";
  const end = Math.min(p.model.blocks.length, Math.ceil(view.first + View.shown(view, sizeOf(p))));
  for (let block = Math.floor(view.first); block < end; block++) {
    const x = LEFT + (block - view.first) * view.width + UNIT + 1;
    for (let row = 0; row < Math.min(rows, expected[block]); row++) {
      const cell = firstCell[block] + row;
      if (!present[cell]) continue;
      let word = list.word[ownerOf[cell]];
      if (view.highlight >= 0 && ownerOf[cell] !== view.highlight) word = faded(word, scheme.background);
      const room = slot[cell] === LogModel.NO_SLOT ? "no slot" : `slot ${slot[cell]}`;
      const text = view.width >= 64 ? `${decals[cell]} · ${room}` : String(decals[cell]);
      const y = TOP + row * ROW + ROW - 1 - BAND - 2; // the baseline: no glyph of these reaches the flag bands
      context.strokeStyle = css(word); // a halo of the cell's colour keeps the text off the marks
      context.strokeText(text, x, y);
      context.fillStyle = ink(word);
      context.fillText(text, x, y);
    }
  }
}

/**
 * A frame around a cell's unit, if its block is in view: the chosen cell's black and white, the cursor's dashed
 * and set out from it.
 * @param {Painter} p @param {View.Cell} cell @param {number} outset @param {string} colour @param {number[]} dash
 */
function frame(p, { block, map }, outset, colour, dash) {
  const { context, view } = p;
  if (!View.inView(view, sizeOf(p), block)) return;
  const [left, right] = View.unitOf(view, block);
  context.setLineDash(dash);
  context.lineWidth = 2;
  context.strokeStyle = colour;
  context.strokeRect(left - outset, TOP + map * ROW - 1 - outset, Math.max(right - left, 4) + 2 * outset,
    ROW + 1 + 2 * outset);
  if (!outset) {
    context.lineWidth = 1;
    context.strokeStyle = "#fff";
    context.strokeRect(left + 1.5, TOP + map * ROW + 1.5, Math.max(right - left, 4) - 3, ROW - 4);
  }
  context.setLineDash([]);
}
