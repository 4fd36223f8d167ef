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
import { readingWords, stoppedWords } from "./readingwords.js";
import * as StartupReport from "./startupreport.js";
import * as Timeline from "./timeline.js";

/** @typedef {import("./pagemodel.js").PageModel} Model */
/** @typedef {ReturnType<typeof Timeline.create>} TimelineView */

const nextTask = () => new Promise((resolve) => setTimeout(resolve));
// Milliseconds between two changes of the progress bar and its words: they
// paint a few times a second, not at every chunk.
const SHOWN_EVERY = 250;

// The newest read, by its number (an older one that ends later is dropped), and its file.
/** @type {{ reading: number, current: File | null }} */
const state = { reading: 0, current: null };

/**
 * Takes each log chosen or dropped onto the page; a newer one ends the reading
 * of an older, and its Stop button or Esc ends the reading in progress.
 * @returns {void}
 */
export function startLogPart() {
  const input = byId("log-file", HTMLInputElement);
  input.addEventListener("change", () => {
    if (input.files && input.files.length > 0) readLog(input.files[0], false);
  });
  document.addEventListener("drop", (event) => {
    const file = event.dataTransfer?.files[0];
    if (file && file.name.toLowerCase().endsWith(".log")) readLog(file, true);
  });
  byId("log-stop", HTMLButtonElement).addEventListener("click", stop);
  document.addEventListener("keydown", (event) => {
    if (event.key === "Escape" && stop()) event.preventDefault();
  });
}

/**
 * @param {File} file
 * @param {boolean} dropped the report then comes into view, and the focus goes there
 */
async function readLog(file, dropped) {
  const mine = ++state.reading;
  state.current = file;
  byId("log-report", HTMLElement).hidden = true;
  setText("log-name", ""); // the name shows again once the report is whole
  say("");
  const progress = showProgress(file);
  if (dropped) byId("log-reading", HTMLElement).scrollIntoView({ block: "center" });
  /** @type {import("./logworker.js").Read | null} */
  let read;
  try {
    read = await LogWorker.readInWorker(file, (fraction) => {
      if (mine === state.reading) progress(fraction);
    });
  } catch (error) {
    if (mine !== state.reading) return;
    byId("log-reading", HTMLElement).hidden = true;
    say(`${file.name} could not be read (${error instanceof Error ? error.message : error}). Choose it again, ` +
      "or close the programs that may be writing it.", dropped);
    return;
  }
  // The report in a task after the one that took the worker's message in.
  await nextTask();
  if (mine !== state.reading || read === null) return;
  byId("log-reading", HTMLElement).hidden = true;
  await show(file, read);
  if (!dropped || mine !== state.reading) return;
  const summary = byId("log-summary", HTMLElement);
  summary.scrollIntoView({ block: "start" });
  summary.focus({ preventScroll: true });
}

// The reading in progress ended; its file is read again only when given
// again. Says whether there was one.
function stop() {
  const part = byId("log-reading", HTMLElement);
  if (part.hidden) return false;
  LogWorker.stopReading();
  state.reading++;
  const hadFocus = part.contains(document.activeElement);
  part.hidden = true;
  byId("log-file", HTMLInputElement).value = "";
  say(stoppedWords(state.current?.name ?? ""), hadFocus);
  state.current = null;
  return true;
}

/**
 * The progress bar, its words and its Stop button shown for a file; gives what
 * takes the share read. The bar and its words follow a few times a second, not
 * at every chunk, so that the words can be read as they change and the page
 * paints no more than that.
 * @param {File} file
 * @returns {(fraction: number) => void}
 */
function showProgress(file) {
  const bar = byId("log-progress", HTMLProgressElement);
  let said = 0;
  /** @param {number} fraction */
  const sayShare = (fraction) => {
    bar.value = fraction;
    setText("log-reading-words", readingWords(file.name, fraction));
    said = performance.now();
  };
  sayShare(0);
  byId("log-reading", HTMLElement).hidden = false;
  return (fraction) => {
    if (performance.now() - said >= SHOWN_EVERY) sayShare(fraction);
  };
}

/**
 * What became of a read that shows no report, or nothing.
 * @param {string} words
 * @param {boolean} [focus] the focus goes to the words, for one whose place in the page is gone
 */
function say(words, focus = false) {
  const status = byId("log-status", HTMLElement);
  status.textContent = words;
  if (focus) status.focus();
}

/**
 * @param {File} file
 * @param {import("./logworker.js").Read} read
 */
async function show(file, { result, summary, source }) {
  const model = result.model;
  const stillShown = () => file === state.current;
  StartupReport.show(file, result);
  const executionsShown = ExecutionList.show(file, model, stillShown);
  byId("log-report", HTMLElement).hidden = false;
  // The events, then the timeline, each in a task and laid out in a frame of
  // its own, so that nothing keeps the page from answering for long; the
  // file's name shows once all is there.
  const shown = state.reading;
  await nextTask();
  if (shown !== state.reading) return;
  const part = byId("log-timeline-part", HTMLElement);
  part.hidden = model.blocks.length === 0;
  /** @type {TimelineView | null} */
  let timeline = null;
  const events = part.hidden ? null : EventList.create(file, model, {
    choose: (cell) => timeline?.choose(cell),
    narrow: (map) => timeline?.narrow(map),
  });
  await nextTask();
  if (shown !== state.reading) return;
  if (events) {
    // The canvas takes its size and is laid out and painted, still empty, in
    // a frame before the one that begins its drawing.
    const canvas = Timeline.fresh(summary.rows);
    requestAnimationFrame(() => setTimeout(() => {
      if (shown === state.reading) timeline = showTimeline(file, { canvas, source, model, summary }, events, stillShown);
    }));
  }
  await executionsShown;
  if (shown !== state.reading) return;
  setText("log-name", file.name);
}

/**
 * The timeline, for the events list that is already there, with its legend
 * and its controls.
 * @param {File} file
 * @param {{ canvas: HTMLCanvasElement, source: import("./timelinedrawing.js").Source, model: Model,
 *   summary: import("./logworker.js").PageSummary }} log
 * @param {{ narrow: (map: number) => void, narrowedTo: () => number }} events
 * @param {() => boolean} stillShown
 * @returns {TimelineView}
 */
function showTimeline(file, { canvas, source, model, summary }, events, stillShown) {
  let legend = () => {};
  let cursorAt = "";
  const timeline = Timeline.create(canvas, source, { blocks: model.blocks.length, rows: summary.rows }, {
    select: (cell) => BlockView.show(file, model, timeline.cells(cell.block), cell, stillShown),
    // The cursor's words once its block's cells are in, unless it moved on meanwhile.
    async cursor({ block, map }) {
      const at = (cursorAt = `${block} ${map}`);
      const words = byId("timeline-cursor", HTMLElement);
      words.setAttribute("aria-busy", "true");
      const cells = await timeline.cells(block);
      if (at !== cursorAt || !stillShown()) return;
      words.setAttribute("aria-busy", "false");
      setText("timeline-cursor", cursorWords(model, block, cells, map));
    },
    // A row's name narrows the events to its map; the same name again widens them to all.
    mapName: (map) => events.narrow(map === events.narrowedTo() ? -1 : map),
    view: () => legend(),
  });
  legend = OwnerLegend.create(timeline, summary.list);
  byId("timeline-zoom-in", HTMLButtonElement).onclick = () => timeline.zoom(2);
  byId("timeline-zoom-out", HTMLButtonElement).onclick = () => timeline.zoom(0.5);
  byId("timeline-whole", HTMLButtonElement).onclick = () => timeline.whole();
  setText("timeline-cursor", "");
  byId("timeline-cursor", HTMLElement).setAttribute("aria-busy", "false");
  BlockView.clear();
  return timeline;
}
