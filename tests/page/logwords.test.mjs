// What the log part says of a log without blocks and of a file that is no log,
// over generated start-ups and files, and every log of the run: the advice to
// set LogDamageMapDiagnostics=1 only where the log's last settings line does
// not already say so, a reason where it does, and neither for a file that is no
// log; a file that is not text said to be so in plain words.
// Environment: CRIMSEL_PAGETESTS (the folder of page_reference.exe, beside the
// other tests' game folders, whose logs are read too).
import assert from "node:assert/strict";
import { openAsBlob, readFileSync, readdirSync, statSync } from "node:fs";
import { join } from "node:path";
import { test } from "node:test";
import { read } from "../../page/logreading.js";
import { blockCounts, problems } from "../../page/logwords.js";
import { STAMP, executionLine, generator } from "./LogLines.mjs";

const ADVICE = "set LogDamageMapDiagnostics=1";
/** @param {import("../../page/logreading.js").ReadResult} result @returns {string} what it says of the blocks */
const counts = (result) => blockCounts(result.model.blocks.length, 0, result);
/** @param {string} text @returns {string | undefined} what the last settings line says of the diagnostics */
const lastSetting = (text) => [...text.matchAll(/\] Settings: .* LogDamageMapDiagnostics=([01]) /g)].at(-1)?.[1];

const below = generator(3);
// A start-up as the plug-in logs it, with the diagnostics on or off: in a game it does not recognise, or with
// the diagnostics installed, refused or never reached; and execution decals after it.
const startup = () => {
  const diagnostics = below(2);
  const after = [["Host not recognised: call at 0x005AD857 leads to 0x0059A1B0, not 0x0059A2C0; nothing patched"],
    diagnostics ? [["Installing CharacterDamageManager diagnostics hook at call 0x005BB163"],
      ["CharacterDamageManager diagnostics hook not installed: 0x005BB163 holds a jump to 0x20000000 (no module), " +
        "another plug-in's hook; left as it is"],
      ["Installing CharacterDamageManager diagnostics hook at call 0x005BB163",
        "CharacterDamageManager diagnostics hook not installed: start-up stopped before its bytes were written"],
      ["InitializeASI stopped by an error: std::bad_alloc"]][below(4)] : ["Blood decal color/alpha patch disabled"]];
  return ["Logger initialized", "InitializeASI", "Settings: FixExecutionBloodDecals=1 PatchBloodDecalColorAndAlpha=0 " +
    `FixStaleDamageMapDecals=1 EnableLogging=1 LogDamageMapDiagnostics=${diagnostics} LogExecutionDecals=1 ` +
    "RGB/A=224,224,224,255", ...after[below(2)], ...Array.from({ length: below(3) }, () => executionLine(below))];
};

test("a log without blocks says why, and asks for the diagnostics only where its settings lack them", async () => {
  for (let i = 0; i < 500; i++) {
    // One start-up or two, the log cut at any line.
    const lines = [...startup(), ...(below(3) ? [] : startup())].map((line) => `${STAMP}${line}\r\n`);
    const text = lines.slice(0, 1 + below(lines.length)).join("");
    const said = counts(await read(new Blob([text]), () => {}));
    const last = text.lastIndexOf("] Settings: ");
    assert.equal(said.includes(ADVICE), lastSetting(text) !== "1" && !text.includes("Host not recognised", last),
      `${text}: ${said}`);
    assert.ok(said.length > "no damage-map blocks".length + 20, `${text}: ${said}: why`);
  }
});

test("a file that is no log gets no advice on the timeline, and one that is not text is said to be so", async () => {
  const png = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 0x0d];
  for (let i = 0; i < 200; i++) {
    const bytes = Uint8Array.from({ length: 1 + below(3000) }, (_, k) => (k < png.length && i % 2 ? png[k] : below(256)));
    const text = Array.from({ length: 1 + below(20) }, () => `Key${below(99)}=${below(2)}\r\n`).join("");
    for (const file of [bytes, i % 3 ? text : `${STAMP}${text}`]) {
      const result = await read(new Blob([file]), () => {});
      assert.ok(!counts(result).includes("(") && !counts(result).includes(":"), counts(result));
      const [said] = problems(result, "Crimsel.log");
      assert.ok(file !== bytes ? said.startsWith("This is not a Crimsel.log") : !bytes.includes(0) ||
        said.startsWith("This is not a text file: it holds bytes that no text file has"), said);
    }
  }
});

// Every log that the plug-in wrote in the run, beside the page's generated ones.
test("no log of the run whose settings say LogDamageMapDiagnostics=1 is asked for them", async () => {
  /** @type {string[]} */
  const logs = [];
  const walk = (/** @type {string} */ folder) => readdirSync(folder).forEach((name) => {
    const path = join(folder, name);
    if (name !== "wineprefix" && statSync(path).isDirectory()) walk(path);
    else if (name === "Crimsel.log") logs.push(path);
  });
  // The game folders that the run's set-up wrote and left, not those of tests that may write while this reads.
  walk(join(process.env.CRIMSEL_PAGETESTS ?? assert.fail("CRIMSEL_PAGETESTS names no folder"), "..", "games"));
  let without = 0;
  for (const path of logs) {
    const said = counts(await read(await openAsBlob(path), () => {}));
    const set = lastSetting(readFileSync(path, "latin1")) === "1";
    without += set && said.startsWith("no ") ? 1 : 0;
    assert.ok(!(set && said.includes(ADVICE)), `${path}: ${said}`);
  }
  assert.ok(without > 0, "a log of the run with the diagnostics set and no blocks");
});
