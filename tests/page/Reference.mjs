// What the players' page is held against: the Windows program page_reference,
// run under the session's Wine, which says what the real plug-in and the
// stand-in's device make of the same input; and scratch folders that a test
// file removes when it ends.
import { spawnSync } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after } from "node:test";

export const referenceProgram = process.env.CRIMSEL_PAGE_REFERENCE;

// The program's JSON lines.
export function reference(...args) {
  if (!referenceProgram) throw new Error("CRIMSEL_PAGE_REFERENCE names no page_reference.exe");
  const run = spawnSync("wine", [referenceProgram, ...args], { encoding: "utf8", maxBuffer: 1 << 28 });
  if (run.status !== 0) {
    throw new Error(`page_reference ${args[0]} failed (${run.status}): ${run.stderr}`);
  }
  return run.stdout.split(/\r?\n/).filter((line) => line.trim() !== "").map((line) => JSON.parse(line));
}

// A path as Wine's Windows programs name it.
export const windowsPath = (path) => `Z:${path}`;

// Folders of a test file's own in the temp folder, removed with everything in
// them after its tests, whatever they found; one may be made in a hook or a test.
const scratch = [];
after(() => scratch.splice(0).forEach((folder) => rmSync(folder, { recursive: true, force: true })));
export function scratchFolder() {
  scratch.push(mkdtempSync(join(tmpdir(), "crimsel-page-")));
  return scratch.at(-1);
}
