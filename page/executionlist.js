// A log of execution decals and no blocks: the decals themselves, each in a
// line of words, read back from the file.

import { byId, element } from "./dom.js";
import * as LogReading from "./logreading.js";
import { count, executionWords } from "./logwords.js";

const EXECUTIONS_SHOWN = 200;

/**
 * Lists the decals, or hides the list when the log has blocks or no decals.
 * @param {File} file
 * @param {import("./logmodel.js").Model} model
 * @param {() => boolean} stillShown false once another file is read, which the list is then left to
 */
export async function show(file, model, stillShown) {
  const list = byId("log-execution-list", HTMLOListElement);
  const x = model.executions;
  list.hidden = model.blocks.length > 0 || x.length === 0;
  list.replaceChildren();
  if (list.hidden) return;
  const items = [];
  for (let i = 0; i < Math.min(x.length, EXECUTIONS_SHOWN); i++) {
    const line = await LogReading.lineAt(file, x.offset[i]);
    if (!stillShown()) return;
    items.push(element("li", executionWords(line, x.splatter[i] !== 0)));
  }
  if (x.length > EXECUTIONS_SHOWN) items.push(element("li", `and ${count(x.length - EXECUTIONS_SHOWN)} more`));
  list.replaceChildren(...items);
}
