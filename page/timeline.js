// The damage maps' timeline: its view (timelineview.js), drawn by its painter
// (timelinepainter.js) and moved by the keys, the wheel and clicks
// (timelineinput.js).

import * as Input from "./timelineinput.js";
import * as Painter from "./timelinepainter.js";
import * as View from "./timelineview.js";

/**
 * What the timeline tells the page: select(cell) when a cell is chosen, cursor(cell) when the cursor moves (by
 * the keys, or to a cell chosen), mapName(map) when a row's name is chosen, view() after a draw.
 * @typedef {{ select: (cell: View.Cell) => void, cursor: (cell: View.Cell) => void,
 *   mapName: (map: number) => void, view: () => void }} Handlers
 */
/**
 * The timeline's controls; ownersInView gives [owner's index, its cells in view] in the owners' order.
 * @typedef {{ zoom: (factor: number, atX?: number) => void, whole: () => void, choose: (cell: View.Cell) => void,
 *   highlight: (owner: number) => void, narrow: (map: number) => void,
 *   ownersInView: () => Array<[number, number]> }} Timeline
 */

let resized = () => {};
/** @type {ResizeObserver | null} */
let watching = null;

/**
 * The canvas sized for a log's rows before its timeline is made, so that it is laid out at its size.
 * @param {HTMLCanvasElement} canvas
 * @param {number} rows
 */
export const fit = (canvas, rows) => Painter.fit(canvas, rows);

/**
 * The timeline of a log on a canvas.
 * @param {HTMLCanvasElement} canvas
 * @param {import("./logmodel.js").Model} model
 * @param {import("./levels.js").Summarised} summary the summary with its levels
 * @param {Handlers} handlers
 * @returns {Timeline}
 */
export function create(canvas, model, summary, handlers) {
  const painter = Painter.create(canvas, model, summary, () => handlers.view());
  /** @returns {View.Size} */
  const size = () => ({ pixels: painter.width(), blocks: model.blocks.length, rows: summary.rows });
  let view = View.initial(size());
  /** @param {View.View} next */
  const change = (next) => {
    view = View.clamp(next, size());
    painter.redraw(view);
  };
  /** @param {View.Cell} cell */
  const choose = (cell) => {
    const { block, map } = view.cursor;
    change(View.choose(view, size(), cell));
    if (view.chosen) handlers.select(view.chosen);
    if (view.cursor.block !== block || view.cursor.map !== map) handlers.cursor(view.cursor);
  };
  const { firstCell, expected } = model.blocks;
  const { present, flags } = model.cells;
  Input.listen(canvas, { view: () => view, change, size, cells: { firstCell, expected, present, flags,
    changed: summary.changed, marks: summary.marks }, choose, cursor: handlers.cursor, mapName: handlers.mapName });
  change(view);
  // The newest timeline follows the canvas's size as the window changes; a hidden canvas (a log being read) keeps
  // its drawing.
  resized = () => {
    if (canvas.clientWidth > 0 && painter.resize()) change(view);
  };
  if (!watching && typeof ResizeObserver === "function") {
    watching = new ResizeObserver(() => resized());
    watching.observe(canvas);
  }
  return {
    zoom: (factor, atX = painter.width() / 2) => change(View.zoom(view, size(), factor, atX)),
    whole: () => change(View.whole(view, size())),
    choose,
    highlight: (owner) => change({ ...view, highlight: owner }),
    narrow: (map) => change({ ...view, narrowed: map }),
    ownersInView: painter.ownersInView,
  };
}
