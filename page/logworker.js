// Reads a Crimsel.log beside the page, in a dedicated worker made of the page's
// own script: the worker reads the file, summarises what the timeline draws,
// and hands both over with their typed arrays' buffers transferred, not
// copied, so that the page's thread stays free for input while it reads. Where
// no worker can be made, the page reads the file itself as it did before.

import * as LogModel from "./logmodel.js";
import * as LogReading from "./logreading.js";
import { build } from "./levels.js";
import { summarise } from "./summary.js";

/** @typedef {import("./logreading.js").ReadResult} ReadResult */
/** @typedef {import("./levels.js").Summarised} Summary the summary with its levels */
/** @typedef {{ result: ReadResult, summary: Summary }} Read */
/** @typedef {{ progress: number } | { failed: string } | Read} Message what the worker posts */

/** @type {string | null} the page's script as a URL, the worker's code */
let scriptUrl = null;
/** @type {{ worker: Worker | null, settle: (read: Read | null) => void } | null} the unfinished read, if any */
let running = null;

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
  self.onmessage = async (/** @type {MessageEvent<Blob>} */ { data: file }) => {
    try {
      const read = await LogReading.read(file, (progress) => self.postMessage({ progress }));
      const summary = withLevels(read.model);
      const result = { ...read, model: LogModel.withoutAdd(read.model) };
      self.postMessage({ result, summary }, { transfer: [...buffers([result, summary])] });
    } catch (error) {
      self.postMessage({ failed: String(error) });
    }
  };
}

// The summary of a model, with the levels that the timeline draws from.
/** @param {import("./logmodel.js").Model} model @returns {import("./levels.js").Summarised} */
function withLevels(model) {
  const summary = summarise(model);
  return { ...summary, levels: build(model, summary) };
}

/**
 * @param {Blob} file
 * @param {(fraction: number) => void} onProgress
 * @returns {Promise<Read>}
 */
async function readOnPage(file, onProgress) {
  const result = await LogReading.read(file, onProgress);
  return { result, summary: withLevels(result.model) };
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
  const stopped = running;
  running = null;
  stopped?.worker?.terminate();
  stopped?.settle(null);
}

// Reads the file (a Blob) in a worker of its own, which ends any read still
// running, and reports progress as a fraction. Gives the reading's result, its
// model's tables without their add, and summary.js's summary of the model; or
// null once the read is stopped, by stopReading() or a newer read.
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
    /** @param {() => void} settle */
    const end = (settle) => {
      if (running !== mine) return;
      running = null;
      mine.worker?.terminate();
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
      end(() => ("failed" in data ? reject(new Error(data.failed)) : resolve(data)));
    };
    // A worker that the browser refuses, or whose script fails: the page
    // reads the file itself.
    worker.onerror = (event) => {
      event.preventDefault();
      worker.terminate();
      if (running === mine) onPage();
    };
    worker.postMessage(file);
  });
}
