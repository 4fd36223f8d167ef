// A log of execution decals and no blocks: the decals themselves, each in a
// line of words read back from the file, a page at a time, with the buttons
// that turn the pages.

import { byId, element, setText } from "./dom.js";
import { executionsShown, pageCount, pageRange, pageWithin } from "./executionpages.js";
import * as LogReading from "./logreading.js";
import { executionWords } from "./logwords.js";
import { pageButtons } from "./pagebuttons.js";

/** @typedef {import("./pagemodel.js").PageModel} Model */

/**
 * Lists the decals from their first page, or hides the list when the log has
 * blocks (whose events list them) or no decals.
 * @param {File} file
 * @param {Model} model
 * @param {() => boolean} stillShown false once another file is read, which the list is then left to
 * @returns {Promise<void>} once the first page is in
 */
export function show(file, model, stillShown) {
  const part = byId("log-execution-part", HTMLElement);
  const x = model.executions;
  part.hidden = model.blocks.length > 0 || x.length === 0;
  byId("log-execution-list", HTMLOListElement).replaceChildren();
  if (part.hidden) return Promise.resolve();
  let page = 0;
  let turns = 0; // the newest turn of the pages; an older one whose lines come later is dropped
  const render = async () => {
    const turn = ++turns;
    const range = pageRange(page, x.length);
    const lines = await Promise.all(Array.from({ length: range.to - range.from }, (_, i) =>
      LogReading.lineAt(file, x.offset[range.from + i])));
    if (turn !== turns || !stillShown()) return;
    showPage(lines.map((line, i) => executionWords(line, x.splatter[range.from + i] !== 0)), range);
    setText("log-executions-shown", executionsShown(range, page, x.length));
    showPages(page, pageCount(x.length));
  };
  const showPages = pageButtons("executions", (to) => {
    page = pageWithin(to(page), x.length);
    return render();
  });
  return render();
}

/**
 * A page's decals in words, numbered as they stand among all the decals, from the list's top.
 * @param {string[]} words
 * @param {{ from: number, to: number }} range
 */
function showPage(words, range) {
  const list = byId("log-execution-list", HTMLOListElement);
  list.replaceChildren(...words.map((said) => element("li", said)));
  list.start = range.from + 1;
  list.scrollTop = 0;
}
