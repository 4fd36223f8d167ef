// The log part of the page: the player's Crimsel.log read in chunks behind a
// progress bar, then handed to the parts that show it: its report and
// start-up, its execution decals, its events, and its damage maps as a
// timeline with the owners' legend and the chosen cell's block.

import * as BlockView from "./blockview.js";
import { byId, setText } from "./dom.js";
import * as EventList from "./eventlist.js";
import * as ExecutionList from "./executionlist.js";
import * as LogWorker from "./logworker.js";
import { cursorWords } from "./logwords.js";
import * as OwnerLegend from "./ownerlegend.js";
import * as StartupReport from "./startupreport.js";
import * as Timeline from "./timeline.js";

/** @typedef {import("./logmodel.js").Model} Model */
/** @typedef {import("./levels.js").Summarised} Summary the summary with its levels */
/** @typedef {ReturnType<typeof Timeline.create>} TimelineView */

const nextTask = () => new Promise((resolve) => setTimeout(resolve));

/**
 * Takes each log chosen or dropped onto the page; a newer one ends the reading of an older.
 * @returns {void}
 */
export function startLogPart() {
  let reading = 0; // the newest read; an older one that ends later is dropped
  /** @type {File | null} */
  let current = null;

  /**
   * @param {File} file
   * @param {import("./logreading.js").ReadResult} result
   * @param {Summary} summary
   */
  async function show(file, result, summary) {
    const model = result.model;
    const stillShown = () => file === current;
    StartupReport.show(file, result);
    const executionsShown = ExecutionList.show(file, model, stillShown);
    byId("log-report", HTMLElement).hidden = false;
    // The events, then the timeline, each in a task and laid out in a frame of
    // its own, so that nothing keeps the page from answering for long; the
    // file's name shows once all is there.
    const shown = reading;
    await nextTask();
    if (shown !== reading) return;
    const part = byId("log-timeline-part", HTMLElement);
    part.hidden = model.blocks.length === 0;
    /** @type {TimelineView | null} */
    let timeline = null;
    const events = part.hidden ? null : EventList.create(file, model, {
      choose: (cell) => timeline?.choose(cell),
      narrow: (map) => timeline?.narrow(map),
    });
    await nextTask();
    if (shown !== reading) return;
    if (events) {
      // The canvas takes its size and is laid out and painted, still empty, in
      // a frame before the one that begins its drawing.
      const canvas = byId("timeline", HTMLCanvasElement);
      canvas.setAttribute("aria-busy", "true");
      Timeline.fit(canvas, summary.rows); // as large as it shows, inside its border
      requestAnimationFrame(() => setTimeout(() => {
        if (shown === reading) timeline = showTimeline(file, model, summary, events, stillShown);
      }));
    }
    await executionsShown;
    if (shown !== reading) return;
    setText("log-name", file.name);
  }

  /** @param {File} file */
  async function readLog(file) {
    const mine = ++reading;
    current = file;
    const progress = byId("log-progress", HTMLProgressElement);
    progress.value = 0;
    progress.hidden = false;
    byId("log-report", HTMLElement).hidden = true;
    const { result, summary } = await LogWorker.readInWorker(file, (/** @type {number} */ fraction) => {
      if (mine === reading) progress.value = fraction;
    });
    // The report in a task after the one that took the worker's message in.
    await nextTask();
    if (mine !== reading) return;
    progress.hidden = true;
    show(file, result, summary);
  }

  const input = byId("log-file", HTMLInputElement);
  input.addEventListener("change", () => {
    if (input.files && input.files.length > 0) readLog(input.files[0]);
  });
  document.addEventListener("drop", (event) => {
    const file = event.dataTransfer?.files[0];
    if (file && file.name.toLowerCase().endsWith(".log")) readLog(file);
  });
}

/**
 * The timeline, for the events list that is already there, with its legend
 * and its controls.
 * @param {File} file
 * @param {Model} model
 * @param {Summary} summary
 * @param {{ narrow: (map: number) => void, narrowedTo: () => number }} events
 * @param {() => boolean} stillShown
 * @returns {TimelineView}
 */
function showTimeline(file, model, summary, events, stillShown) {
  const canvas = byId("timeline", HTMLCanvasElement);
  let legend = () => {};
  const timeline = Timeline.create(canvas, model, summary, {
    select: (/** @type {{ block: number, map: number }} */ cell) => BlockView.show(file, model, cell, stillShown),
    cursor: (/** @type {{ block: number, map: number }} */ { block, map }) =>
      setText("timeline-cursor", cursorWords(model, block, map)),
    // A row's name narrows the events to its map; the same name again widens them to all.
    mapName: (/** @type {number} */ map) => events.narrow(map === events.narrowedTo() ? -1 : map),
    view: () => legend(),
  });
  legend = OwnerLegend.create(timeline, summary.list);
  byId("timeline-zoom-in", HTMLButtonElement).onclick = () => timeline.zoom(2);
  byId("timeline-zoom-out", HTMLButtonElement).onclick = () => timeline.zoom(0.5);
  byId("timeline-whole", HTMLButtonElement).onclick = () => timeline.whole();
  setText("timeline-cursor", "");
  BlockView.clear();
  return timeline;
}
