// The damage maps' timeline on the page: its view (timelineview.js), moved by
// the keys, the wheel and clicks (timelineinput.js), and drawn where the log's
// model is (timelinedrawing.js): in the worker that read the log, which the
// canvas is handed to, or on the page where it cannot be.

import * as Input from "./timelineinput.js";
import * as View from "./timelineview.js";

/** @typedef {import("./timelinedrawing.js").ToDrawing} ToDrawing */
/** @typedef {import("./pagemodel.js").BlockCells} BlockCells */
/** @typedef {import("./timelinedrawing.js").Source} Source */
/**
 * What the timeline tells the page: select(cell) when a cell is chosen, cursor(cell) when the cursor moves (by
 * the keys, or to a cell chosen), mapName(map) when a row's name is chosen, view() after a draw.
 * @typedef {{ select: (cell: View.Cell) => void, cursor: (cell: View.Cell) => void,
 *   mapName: (map: number) => void, view: () => void }} Handlers
 */
/**
 * The timeline's controls; ownersInView gives [owner's index, its cells in view] in the owners' order, as last
 * drawn; cells(block) what a block's cells hold.
 * @typedef {{ zoom: (factor: number, atX?: number) => void, whole: () => void, choose: (cell: View.Cell) => void,
 *   highlight: (owner: number) => void, narrow: (map: number) => void,
 *   ownersInView: () => Array<[number, number]>, cells: (block: number) => Promise<BlockCells>,
 *   grow: (log: { blocks: number, rows: number }) => void, view: () => View.View }} Timeline
 */

const darkScheme = typeof matchMedia === "function" ? matchMedia("(prefers-color-scheme: dark)") : null;
let resized = () => {};
/** @type {ResizeObserver | null} */
let watching = null;

/**
 * A canvas of its own for a log's timeline, in the place of the last one (a canvas handed to a worker is that
 * worker's for good), sized for the log's rows so that it is laid out at its size before it is drawn.
 * @param {number} rows
 * @returns {HTMLCanvasElement}
 */
export function fresh(rows) {
  const old = /** @type {HTMLCanvasElement} */ (document.getElementById("timeline"));
  const canvas = /** @type {HTMLCanvasElement} */ (old.cloneNode(false));
  old.replaceWith(canvas);
  canvas.setAttribute("aria-busy", "true");
  measure(canvas, rows);
  watching?.disconnect();
  watching?.observe(canvas);
  return canvas;
}

/**
 * The drawing's size as the canvas shows, and the device's pixels to one of its pixels; the canvas as tall as the
 * drawing and the border around it.
 * @param {HTMLCanvasElement} canvas
 * @param {number} rows
 * @returns {import("./timelinepainter.js").Geometry}
 */
function measure(canvas, rows) {
  const height = View.height(rows);
  canvas.style.height = `${height + 2 * canvas.clientTop}px`;
  return { width: Math.max(View.LEFT + View.UNIT, Math.floor(canvas.clientWidth)), height,
    scale: window.devicePixelRatio || 1 };
}

/**
 * The timeline of a log on its canvas, drawn by its source.
 * @param {HTMLCanvasElement} canvas one that fresh() gave
 * @param {Source} source
 * @param {{ blocks: number, rows: number, view?: View.View | null }} log with the view of the log it was read
 *   again in place of, if any
 * @param {Handlers} handlers
 * @returns {Timeline}
 */
export function create(canvas, source, log, handlers) {
  let { blocks, rows } = log;
  let geometry = measure(canvas, rows);
  /** @returns {View.Size} */
  const size = () => ({ pixels: geometry.width, blocks, rows });
  let view = log.view ? View.clamp(log.view, size()) : View.initial(size());
  const busy = busyness(canvas);
  let changes = 0;
  /** @type {Array<[number, number]>} */
  let owners = [];
  const asking = questions(source, (drawn) => {
    if (drawn.drawn !== changes) return;
    owners = drawn.owners;
    busy.drawing(false);
    handlers.view();
  });
  /** @param {(change: number) => ToDrawing} message */
  const send = (message) => {
    busy.drawing(true);
    source.post(message(++changes));
  };
  /** @param {number} x @param {number} map */
  const blockAt = async (x, map) => {
    busy.clicks(1);
    try {
      return /** @type {number} */ (await asking({ blockAt: { view, x, map } }));
    } finally {
      busy.clicks(-1);
    }
  };
  const change = (/** @type {View.View} */ next) => send((number) => ({ view: (view = View.clamp(next, size())),
    change: number }));
  /** @param {View.Cell} cell */
  const choose = (cell) => {
    const { block, map } = view.cursor;
    change(View.choose(view, size(), cell));
    if (view.chosen) handlers.select(view.chosen);
    if (view.cursor.block !== block || view.cursor.map !== map) handlers.cursor(view.cursor);
  };
  const offscreen = source.remote ? canvas.transferControlToOffscreen() : null;
  source.post({ start: { canvas: offscreen ?? canvas, geometry, dark: darkScheme?.matches ?? false } },
    offscreen ? [offscreen] : []);
  Input.listen(canvas, { view: () => view, change, size, choose, cursor: handlers.cursor, mapName: handlers.mapName,
    blockAt });
  change(view);
  // The newest timeline follows the canvas's size as the window changes (a hidden canvas, of a log being read,
  // keeps its drawing), its rows as the log grows, and the page's scheme. Says whether the geometry changed.
  /** @param {boolean} rowsChanged */
  const refit = (rowsChanged) => {
    const now = measure(canvas, rows);
    const same = canvas.clientWidth === 0 || (now.width === geometry.width && now.scale === geometry.scale);
    if (same && !rowsChanged) return false;
    geometry = now;
    send((number) => ({ geometry, change: number }));
    return true;
  };
  resized = () => refit(false) && change(view);
  if (!watching && typeof ResizeObserver === "function") {
    watching = new ResizeObserver(() => resized());
    watching.observe(canvas);
  }
  if (darkScheme) darkScheme.onchange = () => send((number) => ({ dark: darkScheme.matches, change: number }));
  return {
    zoom: (factor, atX = geometry.width / 2) => change(View.zoom(view, size(), factor, atX)),
    whole: () => change(View.whole(view, size())),
    choose,
    highlight: (owner) => change({ ...view, highlight: owner }),
    narrow: (map) => change({ ...view, narrowed: map }),
    ownersInView: () => owners,
    cells: (block) => /** @type {Promise<BlockCells>} */ (asking({ cells: block })),
    // The log as it grew, drawn from the same view, or at its new end where the view showed its end.
    grow(grown) {
      const [before, rowsChanged] = [size(), grown.rows !== rows];
      ({ blocks, rows } = grown);
      if (rowsChanged) refit(true);
      change(View.grown(view, before, size()));
    },
    view: () => view,
  };
}

/**
 * The canvas said to be busy while a change is not yet drawn, or a click not yet answered.
 * @param {HTMLCanvasElement} canvas
 */
function busyness(canvas) {
  const busy = { drawing: false, clicks: 0 };
  const said = () => canvas.setAttribute("aria-busy", String(busy.drawing || busy.clicks > 0));
  return {
    drawing: (/** @type {boolean} */ drawing) => {
      busy.drawing = drawing;
      said();
    },
    clicks: (/** @type {number} */ more) => {
      busy.clicks += more;
      said();
    },
  };
}

/**
 * Questions to a source, each answered by its number; what else it tells goes to `drawn`.
 * @param {Source} source
 * @param {(message: { drawn: number, owners: Array<[number, number]> }) => void} drawn
 * @returns {(question: { blockAt: { view: View.View, x: number, map: number } } | { cells: number }) =>
 *   Promise<unknown>}
 */
function questions(source, drawn) {
  let asked = 0;
  /** @type {Map<number, (value: unknown) => void>} */
  const waiting = new Map();
  source.listen((message) => {
    if ("drawn" in message) return drawn(message);
    waiting.get(message.answer)?.(message.value);
    waiting.delete(message.answer);
  });
  return (question) => new Promise((resolve) => {
    waiting.set(++asked, resolve);
    source.post({ ask: asked, ...question });
  });
}
