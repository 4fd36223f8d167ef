// What the players' page is held against: the Windows program page_reference,
// run under the session's Wine, which says what the real plug-in and the
// stand-in's device make of the same input, and the logs that it wrote in the
// run; and scratch folders that a test file removes when it ends.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { mkdtempSync, openAsBlob, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after } from "node:test";
import { read } from "../../page/logreading.js";

export const referenceProgram = process.env.CRIMSEL_PAGE_REFERENCE;
const pageTests = () => process.env.CRIMSEL_PAGETESTS ?? assert.fail("CRIMSEL_PAGETESTS names no folder");

/** @typedef {{ x: number, y: number, texel: number, patched: number, usual: number }} Point */
/** @typedef {{ colour: number, background: number, patched: number, usual: number, points: Point[] }} Pixel */

/** @typedef {{ settings: Record<string, number>, pixels: Pixel, logs: { folder: string }, template: never }} Replies */

// The program's JSON lines, by its mode.
/** @template {keyof Replies} M @param {M} mode @param {...string} args @returns {Replies[M][]} */
export function reference(mode, ...args) {
  if (!referenceProgram) throw new Error("CRIMSEL_PAGE_REFERENCE names no page_reference.exe");
  const run = spawnSync("wine", [referenceProgram, mode, ...args], { encoding: "utf8", maxBuffer: 1 << 28 });
  if (run.status !== 0) {
    throw new Error(`page_reference ${mode} failed (${run.status}): ${run.stderr}`);
  }
  return run.stdout.split(/\r?\n/).filter((line) => line.trim() !== "").map((line) => JSON.parse(line));
}

// A path as Wine's Windows programs name it.
/** @param {string} path */
export const windowsPath = (path) => `Z:${path}`;

// Folders of a test file's own in the temp folder, removed with everything in
// them after its tests, whatever they found; one may be made in a hook or a test.
/** @type {string[]} */
const scratch = [];
after(() => scratch.splice(0).forEach((folder) => rmSync(folder, { recursive: true, force: true })));
export function scratchFolder() {
  const folder = mkdtempSync(join(tmpdir(), "crimsel-page-"));
  scratch.push(folder);
  return folder;
}

// A log that page_generated_logs made in the run, in page_reference's folder
// ("games/page_reference-generated" and the like), read by the page's module.
/** @param {string} folder */
export const referenceLog = (folder) => join(pageTests(), folder, "Crimsel.log");
/** @param {string} path */
export const readLog = async (path) => read(await openAsBlob(path), () => {});

// The long generated log's record of what the stand-in set: its blocks, and
// for each execution decal in order the number of blocks before it and
// whether it is a splatter.
/** @typedef {{ slot: number | null, owner: number, decals: number, rendered: number, flags: number }} GeneratedMap */
/** @typedef {{ after: boolean, manager: number, mapCount: number, renderedCount: number, cleanupTimer: number,
 *   maps: GeneratedMap[] }} GeneratedBlock */
export function generatedRecord() {
  const path = join(pageTests(), "games/page_reference-generated/record.jsonl");
  const record = readFileSync(path, "utf8").trim().split("\n").map((line) => JSON.parse(line));
  /** @type {GeneratedBlock[]} */
  const blocks = [];
  /** @type {Array<[number, number]>} */
  const executions = [];
  for (const entry of record) {
    if (entry.block) blocks.push(entry.block);
    else executions.push([blocks.length, entry.execution.splatter ? 1 : 0]);
  }
  return { blocks, executions };
}

// Colours that the previews are held to the device with, red, green, blue and
// alpha: each channel at 0 and at 255 somewhere, and alpha opaque, clear and at
// several translucent values, where the blends differ.
export const COLOURS = [
  [224, 224, 224, 255], [200, 10, 40, 255], [60, 180, 255, 128], [0, 0, 0, 0], [255, 255, 255, 1],
  [255, 0, 128, 64], [0, 255, 0, 192], [30, 200, 90, 250], [128, 64, 255, 15],
];
/** @param {number[]} colour red, green, blue and alpha */
export const argb = ([r, g, b, a]) => ((a << 24) | (r << 16) | (g << 8) | b) >>> 0;
/** @param {number} word */
export const hex = (word) => `0x${(word >>> 0).toString(16).toUpperCase().padStart(8, "0")}`;
