// The damage maps' timeline: its view (timelineview.js), drawn by its painter
// (timelinepainter.js) and moved by the keys, the wheel and clicks
// (timelineinput.js).

import * as Input from "./timelineinput.js";
import * as Painter from "./timelinepainter.js";
import * as View from "./timelineview.js";

/**
 * What the timeline tells the page: select(cell) when a cell is chosen, cursor(cell) when the keyboard's cursor
 * moves, mapName(map) when a row's name is chosen, view() after a draw.
 * @typedef {{ select: (cell: View.Cell) => void, cursor: (cell: View.Cell) => void,
 *   mapName: (map: number) => void, view: () => void }} Handlers
 */
/**
 * The timeline's controls; ownersInView gives [owner's index, its cells in view] in the owners' order.
 * @typedef {{ zoom: (factor: number, atX?: number) => void, whole: () => void, choose: (cell: View.Cell) => void,
 *   highlight: (owner: number) => void, narrow: (map: number) => void,
 *   ownersInView: () => Array<[number, number]> }} Timeline
 */

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
  const size = () => ({ pixels: canvas.width, blocks: model.blocks.length, rows: summary.rows });
  let view = View.initial(size());
  /** @param {View.View} next */
  const change = (next) => {
    view = View.clamp(next, size());
    painter.redraw(view);
  };
  /** @param {View.Cell} cell */
  const choose = (cell) => {
    change(View.choose(view, size(), cell));
    if (view.chosen) handlers.select(view.chosen);
  };
  const { firstCell, expected } = model.blocks;
  const { present, flags } = model.cells;
  Input.listen(canvas, { view: () => view, change, size, cells: { firstCell, expected, present, flags,
    changed: summary.changed }, choose, cursor: handlers.cursor, mapName: handlers.mapName });
  change(view);
  return {
    zoom: (factor, atX = canvas.width / 2) => change(View.zoom(view, size(), factor, atX)),
    whole: () => change(View.whole(view, size())),
    choose,
    highlight: (owner) => change({ ...view, highlight: owner }),
    narrow: (map) => change({ ...view, narrowed: map }),
    ownersInView: painter.ownersInView,
  };
}
