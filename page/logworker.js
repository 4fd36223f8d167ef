// Reads a Crimsel.log beside the page, in a dedicated worker made of the page's
// own script: the worker reads the file, summarises what the timeline draws,
// and hands both over with their typed arrays' buffers transferred, not
// copied, so that the page's thread stays free for input while it reads. A
// large file is read in two workers, a half each, on two of the computer's
// cores; the first joins the second's half to its own. Where no second worker
// can be made, one reads it all; where no worker can be made, the page reads
// the file itself as it did before.

import * as LogModel from "./logmodel.js";
import * as LogReading from "./logreading.js";
import { build } from "./levels.js";
import { summarise } from "./summary.js";

/** @typedef {import("./logreading.js").ReadResult} ReadResult */
/** @typedef {import("./levels.js").Summarised} Summary the summary with its levels */
/** @typedef {{ result: ReadResult, summary: Summary }} Read */
/** @typedef {{ progress: number } | { failed: string } | Read} Message what the worker posts */
/**
 * What a worker is given: a file to read whole, or its half of one cut at `cut`, with the port between the two
 * workers, over which the second hands its half to the first.
 * @typedef {Blob | { file: Blob, cut: number, port: MessagePort, second: boolean }} Task
 */
/** @typedef {import("./logreading.js").Reading} Reading */
/**
 * A worker's global scope, as much as the reading uses of it.
 * @typedef {{ onmessage: ((event: MessageEvent<Task>) => void) | null,
 *   postMessage: (message: unknown, options?: StructuredSerializeOptions) => void }} Scope
 */

// From this size on, a file is read in two halves. Each worker's reading is
// bound by its own work on every byte; a second core halves it, less the
// join's pass over the second half's tables and a worker's start. Below it, a
// file reads in well under a second, and a second worker's start and a join
// would be most of what it saves.
export const HALVES = 64 << 20;

/** @type {string | null} the page's script as a URL, the worker's code */
let scriptUrl = null;
/** @type {{ workers: Worker[], settle: (read: Read | null) => void } | null} the unfinished read, if any */
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

// The worker's side: one file, or a half of one, its progress as it goes,
// then the result and its summary at once, or why it could not be read. The
// second half's result goes to the first worker, which joins it to its own.
/** @param {Scope} [scope] */
export function startReadingWorker(scope = self) {
  scope.onmessage = async (/** @type {MessageEvent<Task>} */ { data: task }) => {
    try {
      /** @param {number} progress */
      const onProgress = (progress) => scope.postMessage({ progress });
      if (task instanceof Blob) return posted(scope, await LogReading.read(task, onProgress));
      const { file, cut, port } = task;
      if (task.second) {
        const half = await LogReading.read(file.slice(cut), onProgress, cut);
        const result = { ...half, model: LogModel.withoutAdd(half.model) };
        port.postMessage(result, { transfer: [...buffers(result)] });
        return;
      }
      /** @type {Promise<Reading>} */
      const second = new Promise((resolve) => (port.onmessage = ({ data }) => {
        port.close();
        resolve(data);
      }));
      const first = await LogReading.read(file.slice(0, cut), onProgress, 0, file.size);
      // A file whose first chunk shows it is no log is answered from it, without the second half.
      const none = first.readTo < first.size;
      posted(scope, LogReading.joinHalves(first, none ? { ...first, size: file.size - cut } : await second));
    } catch (error) {
      scope.postMessage({ failed: String(error) });
    }
  };
}

/**
 * The result of a reading posted to the page with its summary, their buffers transferred.
 * @param {Scope} scope @param {Reading} read
 */
function posted(scope, read) {
  const summary = withLevels(read.model);
  const result = { ...read, model: LogModel.withoutAdd(read.model) };
  scope.postMessage({ result, summary }, { transfer: [...buffers([result, summary])] });
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
 * Ends the unfinished read, if any: its workers are ended at once, and its
 * promise gives null. A read on the page stops at its next chunk.
 */
export function stopReading() {
  const stopped = running;
  running = null;
  stopped?.workers.forEach((worker) => worker.terminate());
  stopped?.settle(null);
}

// Reads the file (a Blob) in a worker of its own, or two for a large file,
// which ends any read still running, and reports progress as a fraction.
// Gives the reading's result, its model's tables without their add, and
// summary.js's summary of the model; or null once the read is stopped, by
// stopReading() or a newer read.
/**
 * @param {Blob} file
 * @param {(fraction: number) => void} onProgress
 * @returns {Promise<Read | null>}
 */
export function readInWorker(file, onProgress) {
  stopReading();
  return new Promise((resolve, reject) => {
    /** @type {NonNullable<typeof running>} */
    const mine = { workers: [], settle: resolve };
    running = mine;
    /** @param {() => void} settle */
    const end = (settle) => {
      if (running !== mine) return;
      running = null;
      mine.workers.forEach((worker) => worker.terminate());
      settle();
    };
    // A worker that the browser refuses, or whose script fails: the page
    // reads the file itself, once.
    let onThePage = false;
    const onPage = () => {
      if (running !== mine || onThePage) return;
      onThePage = true;
      mine.workers.splice(0).forEach((worker) => worker.terminate());
      readOnPage(file, (fraction) => {
        if (running !== mine) throw new Error("stopped");
        onProgress(fraction);
      }).then((read) => end(() => resolve(read)), (error) => end(() => reject(error)));
    };
    const first = makeWorker();
    const second = first && file.size >= HALVES ? makeWorker() : null;
    mine.workers = [first, second].filter((worker) => worker !== null);
    if (!first) return onPage();
    const shares = [1, 0];
    const progress = [0, 0];
    mine.workers.forEach((worker, i) => {
      worker.onmessage = (/** @type {MessageEvent<Message>} */ { data }) => {
        if (!("progress" in data)) return end(() => ("failed" in data ? reject(new Error(data.failed)) : resolve(data)));
        progress[i] = data.progress;
        if (running === mine) onProgress(progress[0] * shares[0] + progress[1] * shares[1]);
      };
      worker.onerror = (event) => {
        event.preventDefault();
        onPage();
      };
    });
    if (!second) return first.postMessage(file);
    LogReading.cutNear(file, Math.floor(file.size / 2)).then((cut) => {
      if (running !== mine) return;
      [shares[0], shares[1]] = [cut / file.size, 1 - cut / file.size];
      const channel = new MessageChannel();
      first.postMessage({ file, cut, port: channel.port1, second: false }, [channel.port1]);
      second.postMessage({ file, cut, port: channel.port2, second: true }, [channel.port2]);
    }, (error) => end(() => reject(error)));
  });
}
