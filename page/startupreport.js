// The log's report: how much of the file was understood, what is wrong with it
// as a whole, its start-up in words beside its lines, and the lines not
// understood, shown on request. Everything from the file is set as text.

import { byId, element, setBreakable, setText } from "./dom.js";
import * as LogModel from "./logmodel.js";
import * as LogReading from "./logreading.js";
import { blockCounts, problems, some } from "./logwords.js";
import { partWords } from "./readingwords.js";

/** @typedef {import("./logreading.js").Outcome & { model: import("./pagemodel.js").PageModel }} ReadResult */
/** @typedef {import("./logreading.js").StartupLine} StartupLine */

/**
 * @param {File} file
 * @param {ReadResult} result
 */
export function show(file, result) {
  counts(file, result);
  startupRows(result);
  offerNotUnderstood(file, result);
}

/**
 * The report of a followed log that grew: its counts and problems; its start-up's rows and the lines not
 * understood only where they changed, so that a player reading them, or the lines shown, is left in place.
 * @param {File} file
 * @param {ReadResult} before what the report showed
 * @param {ReadResult} result
 */
export function grown(file, before, result) {
  counts(file, result);
  if (result.startup.length !== before.startup.length) startupRows(result);
  if (result.notUnderstood !== before.notUnderstood) offerNotUnderstood(file, result);
}

/** @param {File} file @param {ReadResult} result */
function counts(file, result) {
  const model = result.model;
  setText("log-not-understood", `${some(result.notUnderstood, "line")} not understood`);
  setText("log-blocks", blockCounts(model.blocks.length, LogModel.mapsSeen(model), result));
  setText("log-executions", some(model.executions.length, "execution decal"));
  const said = [...(result.readTo < result.size ? [partWords(result.readTo, result.size)] : []),
    ...problems(result, file.name)];
  const list = byId("log-problems", HTMLUListElement);
  if ([...list.children].map((item) => item.textContent).join("\n") !== said.join("\n")) {
    list.replaceChildren(...said.map((text) => element("li", text)));
  }
}

/** @param {ReadResult} result */
function startupRows(result) {
  const startup = byId("log-startup", HTMLTableElement);
  startup.tBodies[0].replaceChildren(...result.startup.map((/** @type {StartupLine} */ { kind, words, line }) => {
    const row = element("tr", undefined, kind);
    row.append(setBreakable(element("td"), words), setBreakable(element("td"), line));
    return row;
  }));
  startup.hidden = result.startup.length === 0;
}

/**
 * The button that shows the lines not understood, read back from the file.
 * @param {File} file
 * @param {ReadResult} result
 */
function offerNotUnderstood(file, result) {
  const unknown = byId("log-unknown", HTMLDivElement);
  unknown.hidden = true;
  unknown.replaceChildren();
  const button = byId("log-show-unknown", HTMLButtonElement);
  button.hidden = result.notUnderstood === 0;
  button.onclick = async () => {
    const lines = [];
    for (const offset of result.notUnderstoodOffsets) lines.push(element("div", (await LogReading.lineAt(file, offset)).slice(0, 300)));
    unknown.replaceChildren(...lines);
    if (result.notUnderstood > lines.length) unknown.append(element("div", `and ${result.notUnderstood - lines.length} more`));
    unknown.hidden = false;
  };
}
