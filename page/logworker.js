// Reads a Crimsel.log beside the page, in a dedicated worker made of the page's
// own script, so that the page's thread stays free for input while it reads.
// The worker reads the file and summarises what the timeline draws; then it
// keeps the model and the summary and draws the timeline itself, on the canvas
// that the page hands it, and the page is given only what its lists and words
// need. Where the page cannot hand a canvas over, the worker hands it the model
// and the summary instead, their typed arrays' buffers transferred, not copied,
// and the page draws; where no worker can be made, the page reads the file
// itself.

import * as LogModel from "./logmodel.js";
import * as LogReading from "./logreading.js";
import { build, grown } from "./levels.js";
import { forPage, growth } from "./pagemodel.js";
import { summarise, summariser } from "./summary.js";
import { drawing, onPage } from "./timelinedrawing.js";

/** @typedef {import("./logreading.js").ReadResult} ReadResult */
/** @typedef {import("./levels.js").Summarised} Summary the summary with its levels */
/** @typedef {import("./timelinedrawing.js").Source} Source */
/** @typedef {import("./logreading.js").Outcome & { model: import("./pagemodel.js").PageModel }} PageResult */
/** @typedef {{ list: import("./summary.js").Owners, rows: number }} PageSummary what the page shows of the owners */
/** @typedef {{ result: PageResult, summary: PageSummary, source: Source }} Read what the page is given */
/**
 * What the worker posts: its progress, why it failed, or the reading, whole (`summary` a Summary) where the page
 * draws, else for the page (`summary` a PageSummary).
 * @typedef {{ progress: number } | { failed: string } | { result: ReadResult, summary: Summary, draws: false }
 *   | { result: PageResult, summary: PageSummary, draws: true }} Message
 */
/** @typedef {{ file: Blob, draws: boolean }} Task a file to read, and whether the worker then draws its timeline */
/** @typedef {import("./timelinedrawing.js").ToDrawing | { more: Blob }} ToWorker what the page sends once it is read */
/**
 * What the worker says after a look at the file as it grew: "same" for no new line, "new" for a new log;
 * "grown" with what the page's model lacks, what the page shows of the reading and of the owners.
 * @typedef {{ looked: "same" | "new" } | { looked: "grown", outcome: Omit<ReadResult, "model">,
 *   growth: import("./pagemodel.js").Growth, summary: PageSummary }} Looked
 */

/** @type {string | null} the page's script as a URL, the worker's code */
let scriptUrl = null;
/** @type {{ worker: Worker | null, settle: (read: Read | null) => void } | null} the unfinished read, if any */
let running = null;
/** @type {Worker | null} the worker that draws the timeline of the log shown */
let drawer = null;
// The page can hand its canvas to a worker.
const handsOver = () =>
  typeof HTMLCanvasElement === "function" && typeof HTMLCanvasElement.prototype.transferControlToOffscreen === "function";

/**
 * The page's script as it stands in the page; no worker without it. Its URL
 * is made here, as the page starts, not in the task that takes a file.
 * @param {string | null} text
 */
export function setWorkerScript(text) {
  try {
    scriptUrl = text === null ? null : URL.createObjectURL(new Blob([text], { type: "text/javascript" }));
  } catch {
    scriptUrl = null;
  }
}

/**
 * The buffers of every typed array within a value, each once.
 * @param {unknown} value
 * @param {Set<ArrayBuffer>} found
 */
function buffers(value, found = new Set()) {
  if (ArrayBuffer.isView(value)) {
    if (value.buffer instanceof ArrayBuffer) found.add(value.buffer);
  } else if (value !== null && typeof value === "object") {
    for (const item of Object.values(value)) buffers(item, found);
  }
  return found;
}

// The worker's side: one file, its progress as it goes, then the result and
// its summary at once, or why it could not be read.
export function startReadingWorker() {
  self.onmessage = async (/** @type {MessageEvent<Task>} */ { data: { file, draws } }) => {
    try {
      const state = await LogReading.reading(file, (progress) => self.postMessage({ progress }));
      if (!draws) posted(state.result);
      else drawn(state, await head(file, state));
    } catch (error) {
      self.postMessage({ failed: String(error) });
    }
  };
}

/**
 * A reading handed whole to a page that draws.
 * @param {import("./logreading.js").Reading} read
 */
function posted(read) {
  const model = LogModel.withoutAdd(read.model);
  const summary = withLevels(model);
  const result = { ...read, model };
  self.postMessage({ result, summary, draws: false }, { transfer: [...buffers([result, summary])] });
}

const HEAD = 4096; // the first bytes of a log, which a log begun again differs in: its time stamps
/** @param {Blob} file @param {LogReading.State} state @returns {Promise<Uint8Array>} the first bytes read */
const head = async (file, state) => new Uint8Array(await file.slice(0, Math.min(HEAD, state.position)).arrayBuffer());

/**
 * What the page needs of a reading, after which the worker draws the timeline as the page asks, and reads on
 * when the page gives the file as it grew.
 * @param {LogReading.State} state
 * @param {Uint8Array} first the file's first bytes as read
 */
function drawn(state, first) {
  let summarised = summariser();
  let model = LogModel.withoutAdd(state.result.model);
  const { summary, from } = summarised(model);
  let levels = grown(null, model, summary, from);
  const result = { ...state.result, model: forPage(model) };
  self.postMessage({ result, summary: { list: summary.list, rows: summary.rows }, draws: true },
    { transfer: [...buffers(result)] });
  const { take, grow } = drawing(model, { ...summary, levels }, (message) => self.postMessage(message));
  self.onmessage = async (/** @type {MessageEvent<ToWorker>} */ { data }) => {
    if (!("more" in data)) return take(data);
    const had = { events: model.events.length, executions: model.executions.length };
    // The last line, read as whole at the file's end, is read again: the summary is made again from the start.
    const ended = state.ended !== null;
    const answer = await readOn(state, first, data.more);
    if (answer !== "grown") return self.postMessage({ looked: answer });
    if (ended) summarised = summariser();
    model = LogModel.withoutAdd(state.result.model);
    const next = summarised(model);
    levels = grown(ended ? null : levels, model, next.summary, next.from);
    grow(model, { ...next.summary, levels });
    self.postMessage({ looked: "grown", outcome: outcomeOf(state.result),
      growth: growth(model, { ...had, blocks: next.from }), summary: { list: next.summary.list, rows: next.summary.rows } });
  };
}

/** @param {ReadResult} result @returns {Omit<ReadResult, "model">} what a reading says beside its model */
function outcomeOf({ startup, notUnderstood, notUnderstoodOffsets, lines, nulBytes, cutAtEnd, size, readTo,
  diagnostics }) {
  return { startup, notUnderstood, notUnderstoodOffsets, lines, nulBytes, cutAtEnd, size, readTo, diagnostics };
}

/**
 * The file as it now is, read on from where its reading stopped: "grown" where it has new lines, "same" where it
 * has none, "new" where it is a new log (shorter, or its first bytes changed), which the page reads from the start.
 * @param {LogReading.State} state @param {Uint8Array} first @param {Blob} file
 * @returns {Promise<"grown" | "same" | "new">}
 */
async function readOn(state, first, file) {
  if (state.result.readTo < state.result.size) return "same"; // no log: its rest was left unread
  if (file.size < state.position) return "new";
  const now = new Uint8Array(await file.slice(0, first.length).arrayBuffer());
  if (now.length !== first.length || now.some((byte, i) => byte !== first[i])) return "new";
  if (file.size === state.position) return "same";
  const lines = state.result.lines;
  LogReading.goOn(state);
  await LogReading.takeAll(state, file.slice(state.position), () => {});
  return state.result.lines === lines && state.ended === null ? "same" : "grown";
}

// The summary of a model, with the levels that the timeline draws from.
/** @param {import("./logmodel.js").Model} model @returns {import("./levels.js").Summarised} */
function withLevels(model) {
  const summary = summarise(model);
  return { ...summary, levels: build(model, summary) };
}

/**
 * What the page is given of a reading that it draws itself.
 * @param {ReadResult} result @param {Summary} summary @returns {Read}
 */
function drawnOnPage(result, summary) {
  return { result: { ...result, model: forPage(result.model) }, summary, source: onPage(result.model, summary) };
}

/**
 * @param {Blob} file
 * @param {(fraction: number) => void} onProgress
 * @returns {Promise<Read>}
 */
async function readOnPage(file, onProgress) {
  const read = await LogReading.read(file, onProgress);
  const result = { ...read, model: LogModel.withoutAdd(read.model) };
  return drawnOnPage(result, withLevels(result.model));
}

function makeWorker() {
  if (scriptUrl === null) return null;
  try {
    return new Worker(scriptUrl, { name: "Crimsel.log reading" });
  } catch {
    return null;
  }
}

/**
 * Ends the unfinished read, if any: its worker is ended at once, and its
 * promise gives null. A read on the page stops at its next chunk.
 */
export function stopReading() {
  drawer?.terminate();
  drawer = null;
  looking?.(null);
  looking = null;
  const stopped = running;
  running = null;
  stopped?.worker?.terminate();
  stopped?.settle(null);
}

// Reads the file (a Blob) in a worker of its own, which ends any read still
// running and the drawing of the log shown before, and reports progress as a
// fraction. Gives what the page shows of the reading's result and summary, and
// the source of its timeline's drawing; or null once the read is stopped, by
// stopReading() or a newer read.
/**
 * @param {Blob} file
 * @param {(fraction: number) => void} onProgress
 * @returns {Promise<Read | null>}
 */
export function readInWorker(file, onProgress) {
  stopReading();
  return new Promise((resolve, reject) => {
    const mine = { worker: makeWorker(), settle: resolve };
    running = mine;
    /** @param {() => void} settle @param {boolean} [keep] the worker, which draws */
    const end = (settle, keep = false) => {
      if (running !== mine) return;
      running = null;
      if (keep) drawer = mine.worker;
      else mine.worker?.terminate();
      settle();
    };
    const onPage = () => readOnPage(file, (fraction) => {
      if (running !== mine) throw new Error("stopped");
      onProgress(fraction);
    }).then((read) => end(() => resolve(read)), (error) => end(() => reject(error)));
    const worker = mine.worker;
    if (!worker) return onPage();
    worker.onmessage = (/** @type {MessageEvent<Message>} */ { data }) => {
      if ("progress" in data) {
        if (running === mine) onProgress(data.progress);
        return;
      }
      if ("failed" in data) return end(() => reject(new Error(data.failed)));
      if (!data.draws) return end(() => resolve(drawnOnPage(data.result, data.summary)));
      end(() => resolve({ result: data.result, summary: data.summary, source: remote(worker) }), true);
    };
    // A worker that the browser refuses, or whose script fails: the page
    // reads the file itself.
    worker.onerror = (event) => {
      event.preventDefault();
      worker.terminate();
      if (running === mine) onPage();
    };
    worker.postMessage({ file, draws: handsOver() });
  });
}

/** @type {((looked: Looked | null) => void) | null} what waits for the drawing worker's look at the file */
let looking = null;

/** @param {Worker} worker @returns {Source} the drawing in a worker, which also answers looks at the file */
function remote(worker) {
  /** @type {(message: import("./timelinedrawing.js").FromDrawing) => void} */
  let hear = () => {};
  worker.onmessage = ({ data }) => {
    if (!("looked" in data)) return hear(data);
    const answered = looking;
    looking = null;
    answered?.(data);
  };
  return {
    remote: true,
    post: (message, transfer = []) => worker.postMessage(message, transfer),
    listen: (listener) => (hear = listener),
  };
}

/**
 * The file as it now is, given to the worker that read it and draws it, to read what was added: what it found,
 * or null where no worker keeps the reading (the page then reads the file anew).
 * @param {Blob} file
 * @returns {Promise<Looked | null>}
 */
export function lookAgain(file) {
  const worker = drawer;
  if (!worker || looking) return Promise.resolve(null);
  return new Promise((resolve) => {
    looking = resolve;
    worker.postMessage({ more: file });
  });
}
