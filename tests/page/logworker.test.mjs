// The log read where the browser makes no worker, or refuses the one made: the
// page reads the file itself and is given the summary of the model it read,
// its levels too, as a worker would give it, so that the timeline draws its
// marks and colours.
// Environment: CRIMSEL_PAGETESTS (the folder of page_reference.exe, where the
// test that writes these logs put them).
import assert from "node:assert/strict";
import { openAsBlob, readFileSync, truncateSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { test } from "node:test";
import { build } from "../../page/levels.js";
import { withoutAdd } from "../../page/logmodel.js";
import { read as readLog } from "../../page/logreading.js";
import { readInWorker, setWorkerScript, stopReading } from "../../page/logworker.js";
import { forPage } from "../../page/pagemodel.js";
import { EXECUTION, marks, owners, rowCount } from "../../page/summary.js";
import { referenceLog, scratchFolder } from "./Reference.mjs";

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
    const given = await readInWorker(file, (fraction) => progress.push(fraction));
    assert.ok(given, worker);
    const { result, summary } = given;
    assert.equal(progress.at(-1), 1, worker);
    assert.equal(result.notUnderstood, 0, worker);
    const { model } = await readLog(file, () => {});
    assert.deepEqual(result.model, forPage(withoutAdd(model)), worker);
    const read = { ...owners(model), marks: marks(model), rows: rowCount(model) };
    assert.deepEqual(summary, { ...read, levels: build(model, read) }, worker);
    assert.ok(summary.list.length > 1 && summary.rows > 0 && summary.marks.some((bits) => bits & EXECUTION), worker);
  }
});

test("a read stopped, or ended by a newer one, gives nothing and reports no more; the next is read whole",
  { timeout: 30000 }, async () => {
  const file = await openAsBlob(referenceLog("games/page_reference-generated"));
  setWorkerScript("");
  for (const [worker, Worker] of /** @type {const} */ ([["none made", undefined], ["refused", RefusedWorker]])) {
    Object.assign(globalThis, { Worker });
    let reports = 0;
    const stopped = readInWorker(file, () => reports++ === 0 && stopReading());
    assert.equal(await stopped, null, worker);
    const older = readInWorker(file, () => reports++);
    const newer = readInWorker(file, () => {});
    assert.equal(await older, null, worker);
    assert.equal((await newer)?.result.size, file.size, worker);
    assert.ok(reports <= 1, `${worker}: ${reports} reports after the stop`);
  }
});

// A sparse file of 2 GiB and a byte, all zero bytes, which takes no room on
// the disk; and the generated log with zero bytes over one of its first lines.
test("a file whose start holds zero bytes and no line of the plug-in's is answered from its start; a log is read whole",
  { timeout: 30000 }, async () => {
    Object.assign(globalThis, { Worker: undefined });
    const [zeros, holed] = [join(scratchFolder(), "zeros.log"), join(scratchFolder(), "holed.log")];
    writeFileSync(zeros, "");
    truncateSync(zeros, 2 ** 31 + 1);
    const log = readFileSync(referenceLog("games/page_reference-generated"));
    writeFileSync(holed, log.fill(0, log.indexOf("\n") + 30, log.indexOf("\n") + 40));
    const started = performance.now();
    const huge = await readInWorker(await openAsBlob(zeros), () => {});
    assert.ok(performance.now() - started < 5000, `answered in ${performance.now() - started} ms`);
    assert.ok(huge && huge.result.readTo < huge.result.size && huge.result.size === 2 ** 31 + 1 && huge.result.nulBytes);
    const read = await readInWorker(await openAsBlob(holed), () => {});
    assert.ok(read && read.result.nulBytes && read.result.model.blocks.length > 0, "the holed log understood");
    assert.equal(read.result.readTo, log.length, "the holed log read whole");
  });
