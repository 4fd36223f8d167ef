// The log read where the browser makes no worker, or refuses the one made: the
// page reads the file itself and is given the summary of the model it read,
// its levels too, as a worker would give it, so that the timeline draws its
// marks and colours.
// Environment: CRIMSEL_PAGETESTS (the folder of page_reference.exe, where the
// test that writes these logs put them).
import assert from "node:assert/strict";
import { openAsBlob } from "node:fs";
import { test } from "node:test";
import { build } from "../../page/levels.js";
import { readInWorker, setWorkerScript } from "../../page/logworker.js";
import { EXECUTION, marks, owners, rowCount } from "../../page/summary.js";
import { referenceLog } from "./Reference.mjs";

// A browser that makes the worker but fails it, as one that refuses its script does.
class RefusedWorker {
  /** @type {((event: { preventDefault: () => void }) => void) | null} */
  onerror = null;
  postMessage() {
    setTimeout(() => this.onerror?.({ preventDefault: () => {} }));
  }
  terminate() {}
}

test("where no worker can be made, the page reads the log and summarises what it read", async () => {
  const file = await openAsBlob(referenceLog("games/page_reference-generated"));
  setWorkerScript(""); // the page's script is there: what fails is the worker
  for (const [worker, Worker] of /** @type {const} */ ([["none made", undefined], ["refused", RefusedWorker]])) {
    Object.assign(globalThis, { Worker });
    /** @type {number[]} */
    const progress = [];
    const { result, summary } = await readInWorker(file, (fraction) => progress.push(fraction));
    assert.equal(progress.at(-1), 1, worker);
    assert.equal(result.notUnderstood, 0, worker);
    const { model } = result;
    const read = { ...owners(model), marks: marks(model), rows: rowCount(model) };
    assert.deepEqual(summary, { ...read, levels: build(model, read) }, worker);
    assert.ok(summary.list.length > 1 && summary.rows > 0 && summary.marks.some((bits) => bits & EXECUTION), worker);
  }
});
