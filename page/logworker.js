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
import { build } from "./levels.js";
import { forPage } from "./pagemodel.js";
import { summarise } from "./summary.js";
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
      posted(await LogReading.read(file, (progress) => self.postMessage({ progress })), draws);
    } catch (error) {
      self.postMessage({ failed: String(error) });
    }
  };
}

/**
 * A reading handed to the page: whole, for a page that draws; else what the page needs of it, after which the
 * worker draws the timeline as the page asks.
 * @param {import("./logreading.js").Reading} read @param {boolean} draws
 */
function posted(read, draws) {
  const model = LogModel.withoutAdd(read.model);
  const summary = withLevels(model);
  if (!draws) {
    const result = { ...read, model };
    self.postMessage({ result, summary, draws }, { transfer: [...buffers([result, summary])] });
    return;
  }
  const result = { ...read, model: forPage(model) };
  self.postMessage({ result, summary: { list: summary.list, rows: summary.rows }, draws },
    { transfer: [...buffers(result)] });
  const take = drawing(model, summary, (message) => self.postMessage(message));
  self.onmessage = (/** @type {MessageEvent<import("./timelinedrawing.js").ToDrawing>} */ { data }) => take(data);
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

/** @param {Worker} worker @returns {Source} the drawing in a worker */
function remote(worker) {
  return {
    remote: true,
    post: (message, transfer = []) => worker.postMessage(message, transfer),
    listen: (hear) => (worker.onmessage = ({ data }) => hear(data)),
  };
}
