// The timeline's drawing, where the log's model and summary are: in the worker
// that read the log, or on the page where no canvas can be handed to a worker.
// The page sends it the canvas once, then each view, size and scheme, and asks
// it what lies under a pixel and what a block's cells hold; nothing else
// crosses, so a drawing never waits on the page, nor the page on a drawing.

import { blockCells } from "./pagemodel.js";
import * as Painter from "./timelinepainter.js";
import * as View from "./timelineview.js";

/**
 * What the page sends: the canvas to draw on, first; then each view, the canvas's new geometry and the scheme, each
 * with the number of the change, which the drawing tells back once it is drawn; and questions, each by its number.
 * @typedef {{ start: { canvas: Painter.Surface, geometry: Painter.Geometry, dark: boolean } }
 *   | { view: View.View, change: number } | { geometry: Painter.Geometry, change: number }
 *   | { dark: boolean, change: number }
 *   | { ask: number, blockAt: { view: View.View, x: number, map: number } }
 *   | { ask: number, cells: number }} ToDrawing
 */
/**
 * What the drawing tells: a change drawn whole, with the owners of the cells in view; an answer to a question.
 * @typedef {{ drawn: number, owners: Array<[number, number]> } | { answer: number, value: unknown }} FromDrawing
 */

/**
 * Where the drawing is, seen from the page: `remote` when it is in a worker, which the canvas is then handed to;
 * `post` sends it a message (and what the message hands over), `listen` takes what it tells.
 * @typedef {{ remote: boolean, post: (message: ToDrawing, transfer?: Transferable[]) => void,
 *   listen: (hear: (message: FromDrawing) => void) => void }} Source
 */

/** @param {import("./logmodel.js").Model} model @param {import("./levels.js").Summarised} summary @returns {View.CellMarks} */
const cellMarks = ({ blocks, cells }, summary) => ({ firstCell: blocks.firstCell, expected: blocks.expected,
  present: cells.present, flags: cells.flags, changed: summary.changed, marks: summary.marks });

// A worker's canvas reaches the screen as the frame that drew on it ends, and
// a message may overtake it: a drawing is told drawn from the next frame, once
// the page shows it.
/** @param {() => void} go */
const afterFrame = (go) => (typeof requestAnimationFrame === "function" ? requestAnimationFrame(() => go())
  : setTimeout(go, 16));

/**
 * The drawing of a model: `take` takes each message of the page's; `grow` gives it the model and summary of the
 * log as it grew, which the next view sent is drawn from.
 * @param {import("./logmodel.js").Model} model
 * @param {import("./levels.js").Summarised} summary
 * @param {(message: FromDrawing) => void} tell
 * @returns {{ take: (message: ToDrawing) => void,
 *   grow: (model: import("./logmodel.js").Model, summary: import("./levels.js").Summarised) => void }}
 */
export function drawing(model, summary, tell) {
  /** @type {Painter.Handle | null} */
  let painter = null;
  let change = 0;
  let marks = cellMarks(model, summary);
  const grow = (/** @type {import("./logmodel.js").Model} */ grownModel,
    /** @type {import("./levels.js").Summarised} */ grownSummary) => {
    [model, summary, marks] = [grownModel, grownSummary, cellMarks(grownModel, grownSummary)];
    painter?.grow(model, summary);
  };
  const take = (/** @type {ToDrawing} */ message) => {
    if ("start" in message) {
      const { canvas, geometry, dark } = message.start;
      painter = Painter.create(canvas, model, summary, { ...geometry, dark }, {
        drawn: () => {
          const told = { drawn: change, owners: painter?.ownersInView() ?? [] };
          afterFrame(() => tell(told));
        },
      });
    } else if ("ask" in message) {
      tell({ answer: message.ask, value: answer(message) });
    } else if (painter) {
      change = message.change;
      if ("view" in message) painter.redraw(message.view);
      else if ("geometry" in message) painter.resize(message.geometry);
      else painter.scheme(message.dark);
    }
  };
  return { take, grow };

  /** @param {Extract<ToDrawing, { ask: number }>} question */
  function answer(question) {
    if ("cells" in question) return blockCells(model, question.cells);
    const { view, x, map } = question.blockAt;
    const size = { pixels: painter?.width() ?? 0, blocks: model.blocks.length, rows: summary.rows };
    return View.blockAt(view, size, x, map, marks);
  }
}

/**
 * The drawing of a model that the page holds, on the page: told as a worker's would be, after the task that asked.
 * @param {import("./logmodel.js").Model} model
 * @param {import("./levels.js").Summarised} summary
 * @returns {Source}
 */
export function onPage(model, summary) {
  /** @type {(message: FromDrawing) => void} */
  let hear = () => {};
  const { take } = drawing(model, summary, (message) => setTimeout(() => hear(message)));
  return { remote: false, post: (message) => take(message), listen: (listener) => (hear = listener) };
}
