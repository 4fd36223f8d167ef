// The block of the timeline's chosen cell: its title, the cell in words and the
// block's lines as they stand in the log, the chosen map's marked.

import { byId, element, setText } from "./dom.js";
import * as LogReading from "./logreading.js";
import { blockTitle, cellWords } from "./logwords.js";
import { mapName } from "./timelineview.js";

/** No cell chosen yet. */
export function clear() {
  setText("block-title", "Choose a cell of the timeline to see its block's lines.");
  setText("cell-detail", "");
  byId("block-lines", HTMLElement).replaceChildren();
}

/**
 * @param {File} file
 * @param {import("./logmodel.js").Model} model
 * @param {{ block: number, map: number }} cell
 * @param {() => boolean} stillShown false once another file is read, whose part the lines then are not
 */
export async function show(file, model, { block, map }, stillShown) {
  setText("block-title", blockTitle(model, block));
  setText("cell-detail", cellWords(model, block, map));
  const lines = await LogReading.blockLines(file, model, block);
  if (!stillShown()) return;
  const mark = `  ${mapName(map)} `;
  byId("block-lines", HTMLElement).replaceChildren(...lines.map((/** @type {string} */ line) =>
    element("div", line, line.slice(26).startsWith(mark) ? "selected" : undefined)));
}
