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
import * as PageModel from "./pagemodel.js";
import { followingWords, newLogWords, readingWords, stoppedWords } from "./readingwords.js";
import * as StartupReport from "./startupreport.js";
import * as Timeline from "./timeline.js";

/** @typedef {import("./pagemodel.js").PageModel} Model */
/** @typedef {ReturnType<typeof Timeline.create>} TimelineView */

const nextTask = () => new Promise((resolve) => setTimeout(resolve));
// Milliseconds between two changes of the progress bar and its words: they
// paint a few times a second, not at every chunk.
const SHOWN_EVERY = 250;

const LOOK_EVERY = 1000; // milliseconds between two looks at a followed log

/**
 * A log's file as the page last looked at it: its parts are read from the newest file that the browser gave,
 * since a file given before the log grew may no longer be read.
 */
class Followed extends File {
  /** @param {File} file */
  constructor(file) {
    super([], file.name, { lastModified: file.lastModified });
    this.newest = file;
  }

  /** @param {number} [start] @param {number} [end] @param {string} [type] @returns {Blob} */
  slice(start, end, type) {
    return this.newest.slice(start, end, type);
  }
}

/**
 * What the log part shows: its model, result and summary, its timeline and events list; and the log followed.
 * @typedef {{ model: Model, result: import("./logworker.js").PageResult,
 *   summary: import("./logworker.js").PageSummary, timeline: TimelineView | null,
 *   events: ReturnType<typeof EventList.create> | null, legend: () => void }} Shown
 */
// The newest read, by its number (an older one that ends later is dropped), and its file; the handle of a log
// chosen through the browser's picker, which the page follows while `following`; the next file chosen is the
// log read `again`; what the log part shows.
/** @type {{ reading: number, current: Followed | null, handle: FileSystemFileHandle | null, following: boolean,
 *   timer: number, again: boolean, shown: Shown | null }} */
const state = { reading: 0, current: null, handle: null, following: true, timer: 0, again: false, shown: null };

/**
 * Takes each log chosen or dropped onto the page; a newer one ends the reading
 * of an older, and its Stop button or Esc ends the reading in progress.
 * @returns {void}
 */
export function startLogPart() {
  const input = byId("log-file", HTMLInputElement);
  input.addEventListener("change", () => {
    const file = input.files?.[0];
    // Emptied, so that the same file chosen again is a change.
    input.value = "";
    if (!file) return;
    if (state.again && state.current?.name === file.name) lookAt(file, state.reading);
    else readLog(file, false);
    state.again = false;
  });
  pickThrough(input);
  document.addEventListener("drop", (event) => {
    const file = event.dataTransfer?.files[0];
    if (file && file.name.toLowerCase().endsWith(".log")) readLog(file, true);
  });
  byId("log-again", HTMLButtonElement).addEventListener("click", () => {
    state.again = true;
    input.click();
  });
  byId("log-follow", HTMLButtonElement).addEventListener("click", () => {
    state.following = !state.following;
    followingShown();
    lookLater();
  });
  document.addEventListener("visibilitychange", lookLater);
  byId("log-stop", HTMLButtonElement).addEventListener("click", stop);
  document.addEventListener("keydown", (event) => {
    if (event.key === "Escape" && stop()) event.preventDefault();
  });
}

/**
 * Where the browser has a picker that gives the page a handle to the file, the file input opens that one, and
 * the log chosen through it is followed.
 * @param {HTMLInputElement} input
 */
function pickThrough(input) {
  const picking = /** @type {{ showOpenFilePicker?: (options: object) => Promise<FileSystemFileHandle[]> }} */ (
    /** @type {unknown} */ (window));
  let pick = typeof picking.showOpenFilePicker === "function";
  input.addEventListener("click", async (event) => {
    if (!pick || !picking.showOpenFilePicker || state.again) return;
    event.preventDefault();
    try {
      const [handle] = await picking.showOpenFilePicker({ types: [{ description: "Crimsel.log",
        accept: { "text/plain": [".log"] } }] });
      readLog(await handle.getFile(), false, { handle });
    } catch (error) {
      if (error instanceof DOMException && error.name === "AbortError") return;
      // The browser's own picker for the next choice: the log is then read as it was when chosen.
      pick = false;
      say("Your browser would not open the log this way: choose it again.");
    }
  });
}

/**
 * @param {File} file
 * @param {boolean} dropped the report then comes into view, and the focus goes there
 * @param {{ handle?: FileSystemFileHandle | null, said?: string, view?: import("./timelineview.js").View | null }}
 *   [then] the handle to follow it through, what to say once it is read, the view to keep
 */
async function readLog(file, dropped, { handle = null, said = "", view = null } = {}) {
  const mine = ++state.reading;
  const followed = new Followed(file);
  Object.assign(state, { current: followed, handle, shown: null });
  clearTimeout(state.timer);
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
  await show(followed, read, view);
  if (mine !== state.reading) return;
  if (said) say(said);
  followingShown();
  lookLater();
  if (!dropped) return;
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
  Object.assign(state, { current: null, handle: null, shown: null });
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
 * @param {Followed} file
 * @param {import("./logworker.js").Read} read
 * @param {import("./timelineview.js").View | null} view the view to keep, of the log read before
 */
async function show(file, { result, summary, source }, view) {
  const model = result.model;
  const stillShown = () => file === state.current;
  /** @type {Shown} */
  const shown = { model, result, summary, timeline: null, events: null, legend: () => {} };
  StartupReport.show(file, result);
  const executionsShown = ExecutionList.show(file, model, stillShown);
  byId("log-report", HTMLElement).hidden = false;
  // The events, then the timeline, each in a task and laid out in a frame of
  // its own, so that nothing keeps the page from answering for long; the
  // file's name shows once all is there.
  const reading = state.reading;
  await nextTask();
  if (reading !== state.reading) return;
  const part = byId("log-timeline-part", HTMLElement);
  part.hidden = model.blocks.length === 0;
  const events = part.hidden ? null : EventList.create(file, model, {
    choose: (cell) => shown.timeline?.choose(cell),
    narrow: (map) => shown.timeline?.narrow(map),
  });
  shown.events = events;
  await nextTask();
  if (reading !== state.reading) return;
  if (events) {
    // The canvas takes its size and is laid out and painted, still empty, in
    // a frame before the one that begins its drawing.
    const canvas = Timeline.fresh(summary.rows);
    requestAnimationFrame(() => setTimeout(() => {
      if (reading === state.reading) showTimeline(file, { canvas, source, view }, shown, stillShown);
    }));
  }
  await executionsShown;
  if (reading !== state.reading) return;
  setText("log-name", file.name);
  state.shown = shown;
}

/**
 * The timeline, for the events list that is already there, with its legend
 * and its controls.
 * @param {File} file
 * @param {{ canvas: HTMLCanvasElement, source: import("./timelinedrawing.js").Source,
 *   view: import("./timelineview.js").View | null }} log
 * @param {Shown} shown with its events list
 * @param {() => boolean} stillShown
 */
function showTimeline(file, { canvas, source, view }, shown, stillShown) {
  const { model } = shown;
  const events = /** @type {NonNullable<Shown["events"]>} */ (shown.events);
  let cursorAt = "";
  const log = { blocks: model.blocks.length, rows: shown.summary.rows, view };
  const timeline = Timeline.create(canvas, source, log, {
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
    view: () => shown.legend(),
  });
  shown.timeline = timeline;
  shown.legend = OwnerLegend.create(timeline, () => shown.summary.list);
  byId("timeline-zoom-in", HTMLButtonElement).onclick = () => timeline.zoom(2);
  byId("timeline-zoom-out", HTMLButtonElement).onclick = () => timeline.zoom(0.5);
  byId("timeline-whole", HTMLButtonElement).onclick = () => timeline.whole();
  setText("timeline-cursor", "");
  byId("timeline-cursor", HTMLElement).setAttribute("aria-busy", "false");
  BlockView.clear();
}

// The next look at a followed log in a second, while the page is shown and follows it.
function lookLater() {
  clearTimeout(state.timer);
  const handle = state.handle;
  if (!handle || !state.following || !state.shown || document.visibilityState !== "visible") return;
  const reading = state.reading;
  state.timer = window.setTimeout(async () => {
    /** @type {File} */
    let file;
    try {
      file = await handle.getFile();
    } catch (error) {
      if (reading !== state.reading) return;
      state.following = false;
      followingShown();
      say(`${handle.name} can no longer be read (${error instanceof Error ? error.message : error}): choose it ` +
        "again to follow it.");
      return;
    }
    if (await lookAt(file, reading)) lookLater();
  }, LOOK_EVERY);
}

/**
 * The log as it now is: what was added to it shown, or, for a new log, read from its start. Says whether the
 * log shown is still that one.
 * @param {File} file
 * @param {number} reading the read that the log shown came from
 * @returns {Promise<boolean>}
 */
async function lookAt(file, reading) {
  const followed = state.current;
  const shown = state.shown;
  if (!followed || !shown) return false;
  const same = file.size === followed.newest.size && file.lastModified === followed.newest.lastModified;
  const looked = same ? { looked: /** @type {const} */ ("same") } : await LogWorker.lookAgain(file);
  if (reading !== state.reading) return false;
  if (looked === null || looked.looked === "new") {
    const view = looked === null || !state.handle ? shown.timeline?.view() ?? null : null;
    const said = looked === null ? "" : newLogWords(file.name);
    readLog(file, false, { handle: state.handle, said, view });
    return false;
  }
  if (looked.looked === "grown" && !shown.events && looked.growth.blocks.length > 0) {
    // The first blocks of a log that had none, as when the page is opened before the game: read again, so that
    // its events list and timeline are laid out.
    readLog(file, false, { handle: state.handle });
    return false;
  }
  followed.newest = file;
  if (looked.looked === "grown") grown(followed, shown, looked);
  followingShown();
  return true;
}

/**
 * What was added to the log, shown where the log part shows the log.
 * @param {Followed} file
 * @param {Shown} shown
 * @param {Extract<import("./logworker.js").Looked, { looked: "grown" }>} looked
 */
function grown(file, shown, { outcome, growth, summary }) {
  PageModel.grow(shown.model, growth);
  const before = shown.result;
  shown.result = { ...outcome, model: shown.model };
  shown.summary = summary;
  StartupReport.grown(file, before, shown.result);
  if (shown.model.blocks.length === 0) ExecutionList.show(file, shown.model, () => file === state.current);
  shown.events?.grow();
  shown.timeline?.grow({ blocks: shown.model.blocks.length, rows: summary.rows });
}

// The follow button and the words beside it, as the log shown is followed or not.
function followingShown() {
  const button = byId("log-follow", HTMLButtonElement);
  const followable = state.handle !== null && state.shown !== null;
  button.hidden = !followable;
  button.setAttribute("aria-pressed", String(state.following));
  byId("log-again", HTMLButtonElement).hidden = state.handle !== null || state.shown === null;
  const shown = state.shown;
  setText("log-following", followable && shown ? followingWords(shown.model.blocks.length, state.following,
    Date.now()) : "");
}
