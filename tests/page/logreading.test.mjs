// The page's log reading against what the stand-in set: the real plug-in's
// diagnostics driven through random damage-map states until its log is longer
// than two of the page's reading chunks, with the stand-in's own record of
// every block and execution decal beside it. The module gives back every
// block, map and execution decal as the record says, understands every line,
// and reads every block's lines back from their offsets as they stand in the
// file; the longest lines that the plug-in's logger writes; and lines of any
// length, with either line end, standing across the end of a reading chunk.
// Environment: CRIMSEL_PAGETESTS (the folder of page_reference.exe, where the
// test that writes these logs put them).
import assert from "node:assert/strict";
import { openAsBlob, readFileSync } from "node:fs";
import { test } from "node:test";
import { breakable } from "../../page/breaks.js";
import * as LogModel from "../../page/logmodel.js";
import { blockLines, read } from "../../page/logreading.js";
import { SETTINGS } from "../../page/reading.js";
import { STAMP, executionLine, generator, headerLine, mapLine } from "./LogLines.mjs";
import { generatedRecord, readLog, referenceLog } from "./Reference.mjs";

test("a long generated log gives back every block, map and execution decal as the stand-in set them", async () => {
  const path = referenceLog("games/page_reference-generated");
  const { blocks, executions } = generatedRecord();
  const text = readFileSync(path, "latin1");
  assert.ok(text.length > 8 << 20, `${text.length} bytes: longer than two reading chunks`);
  const { model, notUnderstood } = await readLog(path);
  assert.equal(notUnderstood, 0);

  const b = model.blocks;
  const c = model.cells;
  assert.equal(b.length, blocks.length, "blocks");
  for (const [i, block] of blocks.entries()) {
    const at = `block ${i}`;
    assert.deepEqual([b.after[i], b.manager[i], b.mapCount[i], b.renderedCount[i], b.cleanupTimer[i]],
      [block.after ? 1 : 0, block.manager, block.mapCount, block.renderedCount, block.cleanupTimer], at);
    assert.ok(LogModel.whole(model, i), `${at} whole`);
    assert.equal(b.expected[i], block.maps.length, at);
    block.maps.forEach((map, m) => {
      const cell = b.firstCell[i] + m;
      assert.deepEqual([c.slot[cell], c.owner[cell], c.decals[cell], c.rendered[cell], c.flags[cell]],
        [map.slot === null ? LogModel.NO_SLOT : map.slot, map.owner, map.decals, map.rendered, map.flags],
        `${at} map[${m}]`);
    });
  }

  // Each execution decal stands before the block that follows it in the record.
  const x = model.executions;
  assert.deepEqual(Array.from({ length: x.length }, (_, i) => [x.block[i], x.splatter[i]]), executions);

  // Each block's lines read back from the file by their offsets, and its time
  // stamp, against the file's own lines.
  const lines = text.split("\r\n");
  const headers = lines.flatMap((line, i) => (line.slice(26).startsWith("DamageMapState ") ? [i] : []));
  const file = await openAsBlob(path);
  for (let i = 0; i < b.length; i++) {
    const own = lines.slice(headers[i], headers[i] + 1 + blocks[i].maps.length);
    assert.deepEqual(await blockLines(file, model, i), own, `block ${i}'s lines`);
    const [, stamp] = /^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\]/.exec(own[0]) ?? [];
    assert.equal(b.time[i], Date.parse(`${stamp.replace(" ", "T")}Z`), `block ${i}'s time`);
  }
  assert.equal(model.backwards, 0, "one run's time stamps never run backwards");
});

test("lines of the logger's longest message are understood, start-up and execution decal alike", async () => {
  const path = referenceLog("");
  const lines = readFileSync(path, "latin1").split("\r\n").filter((line) => line !== "");
  assert.equal(lines.filter((line) => line.length === 26 + 1023).length, 3);
  const { startup, model, notUnderstood } = await readLog(path);
  assert.equal(notUnderstood, 0);
  assert.deepEqual(startup.map((line) => line.kind), ["ok", "error", "problem"]);
  assert.equal(model.executions.length, 1);
});

// Where the page lets a start-up's words and lines break besides their blanks:
// only inside a word longer than 12 characters, never leaving a run of more
// than 16 without a place to break; a setting's name between its words.
test("the start-up's words and lines, the longest too, break only inside long words, and settings between their words", async () => {
  for (const path of [referenceLog(""), referenceLog("../games/scene")]) {
    const { startup } = await readLog(path);
    for (const text of startup.flatMap(({ words, line }) => [words, line])) {
      const pieces = breakable(text);
      assert.equal(pieces.join(""), text);
      let at = 0;
      for (const piece of pieces.slice(0, -1)) {
        at += piece.length;
        const word = text.slice(0, at).split(/\s/).at(-1) + text.slice(at).split(/\s/)[0];
        assert.ok(word.length > 12, `"${word}" cut at ${at} of "${text}"`);
      }
      const runs = pieces.flatMap((piece) => piece.split(/\s+|(?<=-)/));
      assert.ok(runs.every((run) => run.length <= 16), `${runs.filter((run) => run.length > 16)}`);
    }
  }
  for (const { key } of SETTINGS.filter((setting) => setting.key.length > 12)) {
    const pieces = breakable(key);
    assert.ok(pieces.length > 1 && pieces.every((piece) => /^[A-Z][a-z]+$/.test(piece)), `${key}: ${pieces}`);
  }
});

test("lines read across the reading's chunks, of any length and either line end: each counted once, junk where it starts",
  async () => {
    let seed = 7;
    const below = (/** @type {number} */ n) => (seed = (Math.imul(seed, 1103515245) + 12345) >>> 0) % n;
    const stamp = "[2026-12-08 20:00:00.000] ";
    // The same kinds of line shifted anew each time, so that each kind comes to stand across a chunk's end.
    for (let shift = 0; shift < 16; shift++) {
      /** @type {string[]} */
      const parts = [];
      /** @type {number[]} */
      const junk = [];
      /** @type {number[]} */
      const headers = [];
      let size = 0;
      while (size < (4 << 20) + (64 << 10)) { // past the end of the first chunk, of 4 MiB
        const kind = size === 0 ? 0 : below(10);
        const line = kind === 0 ? "x".repeat(size === 0 ? shift * 997 : 1000 + below(3000))
          : kind < 5 ? `${stamp}DamageMapState before_UpdateRenderMaps manager=0A000000 mapCount=0 ` +
            `renderedCount=0 cleanupTimer=${below(1000)}`
          : `${stamp}Logger initialized`;
        (kind === 0 ? junk : kind < 5 ? headers : []).push(size);
        const end = below(2) ? "\r\n" : "\n";
        parts.push(line, end);
        size += line.length + end.length;
      }
      // Half the time one NUL, anywhere in the junk line that stands across the chunk's end, or else in any: so
      // also where a line too long to read is skipped, in either chunk.
      const nul = shift % 2 === 1;
      if (nul) {
        let start = 0;
        /** @type {number[]} */
        const junkParts = [];
        let across = -1;
        parts.forEach((part, i) => {
          if (i % 2 === 0 && part.startsWith("x")) {
            junkParts.push(i);
            if (start < 4 << 20 && start + part.length > 4 << 20) across = i;
          }
          start += part.length;
        });
        const k = across >= 0 ? across : junkParts[below(junkParts.length)];
        const at = below(parts[k].length);
        parts[k] = `${parts[k].slice(0, at)}\0${parts[k].slice(at + 1)}`;
      }
      // One string: Node hands a Blob of many parts to its stream a part at a time, slowly.
      const result = await read(new Blob([parts.join("")]), () => {});
      assert.equal(result.nulBytes, nul);
      assert.equal(result.lines, parts.length / 2);
      assert.equal(result.notUnderstood, junk.length);
      assert.deepEqual(result.notUnderstoodOffsets, junk.slice(0, 500));
      assert.deepEqual(Array.from(result.model.blocks.start.subarray(0, result.model.blocks.length)), headers);
    }
  });

// Damaged lines, each of the plug-in's kinds made here and (with the run's logs) taken from the stand-in's long
// log and the scene's: one damage where the format leaves no freedom (an execution decal's texture is any text,
// a header's last number any length): a byte changed to one that the format never has, the line cut short, a
// byte or text put in or appended, the time stamp left out. Each is refused, never taken as whole; a NUL is
// noticed wherever it stands, in any line.
test("every damaged line is refused, and a NUL noticed anywhere", async () => {
  const below = generator(1);
  const state = () => ({ slot: below(3) ? below(8) : null, owner: below(2 ** 32), decals: below(256),
    rendered: below(256), flags: below(256) });
  const made = Array.from({ length: 40 }, () => {
    const maps = 1 + below(4);
    return [["Logger initialized", "InitializeASI", "Installing execution blood decal hook at 0x005AD857"][below(3)],
      executionLine(below), headerLine(maps, below(65536), below(2 ** 32), below(2) === 1),
      ...Array.from({ length: maps }, (_, i) => mapLine(i, state()))];
  });
  const FOREIGN = ["~", "%", "Z", "\0", "\x01", "\x1b", "\x7f", "\t", "\xe9"];
  const PUT_IN = [...FOREIGN, " ", " needsClear"];
  for (const context of [...made, ...runContexts()]) {
    for (let trial = 0; trial < 25; trial++) {
      const k = below(context.length);
      const line = `${STAMP}${context[k]}`;
      const texture = line.indexOf(" texture=") + 9;
      const open = texture > 8 ? texture : line.length + 1; // where free text begins
      const cut = texture > 8 ? texture : line.includes("cleanupTimer=") ? line.lastIndexOf("=") + 2 : line.length;
      const p = below(Math.min(open, line.length));
      const put = (/** @type {number} */ at) => `${line.slice(0, at)}${PUT_IN[below(11)]}${line.slice(at)}`;
      const damaged = [
        () => `${line.slice(0, p)}${FOREIGN.filter((c) => c !== line[p])[below(FOREIGN.length - 1)]}${line.slice(p + 1)}`,
        () => line.slice(0, 1 + below(cut - 1)), // an empty line is no damage: the reading passes over it
        () => put(below(open)),
        () => put(open - 1), // appended; to an execution decal's line, before its texture's "="
        () => context[k],
      ][below(5)]();
      const nul = ((at) => `${line.slice(0, at)}\0${line.slice(at)}`)(below(line.length + 1));
      for (const bad of [damaged, nul]) {
        const lines = context.map((l, i) => (i === k ? bad : `${STAMP}${l}`));
        const offset = lines.slice(0, k).reduce((sum, l) => sum + l.length + 2, 0);
        const result = await read(new Blob([Buffer.from(lines.join("\r\n"), "latin1")]), () => {});
        const refused = result.notUnderstoodOffsets.includes(offset);
        assert.ok(bad === nul ? result.nulBytes && (refused || bad.indexOf("\0") >= open) : refused,
          `${JSON.stringify(bad)}: refused ${refused}, a NUL noticed ${result.nulBytes}`);
      }
    }
  }
});

// With the run's logs: the stand-in's blocks, each with an execution decal's line and a start-up line of the
// plug-in's that leaves no freedom.
function runContexts() {
  if (!process.env.CRIMSEL_PAGETESTS) return [];
  const messages = [referenceLog("games/page_reference-generated"), referenceLog("../games/scene")]
    .flatMap((path) => readFileSync(path, "latin1").split("\r\n").map((line) => line.slice(26)));
  const executions = messages.filter((message) => message.startsWith("Execution "));
  const startup = messages.filter((message) => /^(Logger initialized|InitializeASI|Installing .* 0x[0-9A-F]{8})$/.test(message));
  const headers = messages.flatMap((message, i) => (message.startsWith("DamageMapState ") ? [i] : []));
  return Array.from({ length: 30 }, (_, i) => {
    const at = headers[Math.floor((i * headers.length) / 30)];
    const maps = messages.slice(at + 1).findIndex((message) => !message.startsWith("  map["));
    return [startup[i % startup.length], executions[i % executions.length], ...messages.slice(at, at + 1 + maps)];
  });
}
