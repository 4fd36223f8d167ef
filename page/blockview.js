// The block of the timeline's chosen cell: its title, the cell in words and the
// block's lines as they stand in the log, the chosen map's marked.

import { byId, element, setText } from "./dom.js";
import * as LogReading from "./logreading.js";
import { blockTitle, cellWords } from "./logwords.js";
import { mapName } from "./timelineview.js";

/** @type {{ block: number, map: number } | null} the cell whose block is shown, or is being read */
let shown = null;

/** No cell chosen yet. */
export function clear() {
  shown = null;
  byId("block-view", HTMLElement).setAttribute("aria-busy", "false");
  setText("block-title", "Choose a cell of the timeline to see its block's lines.");
  setText("cell-detail", "");
  byId("block-lines", HTMLElement).replaceChildren();
}

/**
 * @param {File} file
 * @param {import("./pagemodel.js").PageModel} model
 * @param {Promise<import("./pagemodel.js").BlockCells>} cells the block's, as the drawing holds them
 * @param {{ block: number, map: number }} cell
 * @param {() => boolean} stillShown false once another file is read, whose part the lines then are not
 */
export async function show(file, model, cells, cell, stillShown) {
  const { block, map } = cell;
  shown = cell;
  setText("block-title", blockTitle(model, block));
  // Busy until the cell's words and its block's lines are in: a screen reader waits for them.
  const view = byId("block-view", HTMLElement);
  view.setAttribute("aria-busy", "true");
  const [lines, held] = await Promise.all([LogReading.blockLines(file, model, block), cells]);
  // A cell chosen meanwhile shows its own.
  if (!stillShown() || shown !== cell) return;
  view.setAttribute("aria-busy", "false");
  setText("cell-detail", cellWords(held, map));
  const mark = `  ${mapName(map)} `;
  byId("block-lines", HTMLElement).replaceChildren(...lines.map((/** @type {string} */ line) =>
    element("div", line, line.slice(26).startsWith(mark) ? "selected" : undefined)));
}
