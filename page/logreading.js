// Reads a Crimsel.log in chunks, byte by byte, without turning it into text:
// each line is "[YYYY-MM-DD HH:MM:SS.mmm] " and the plug-in's message. The
// diagnostics blocks go into the log model; the start-up lines are decoded and
// put into words. A line that none of this fits is counted, never fatal.

import * as LogModel from "./logmodel.js";

const PREFIX = 26;
const LONGEST_LINE = PREFIX + 1023; // the plug-in cuts its messages to 1023 characters
const CHUNK = 4 << 20;
const KEPT_UNDERSTOOD = 500; // offsets of lines not understood, for showing them

/**
 * A start-up line and what it says to a player.
 * @typedef {object} StartupLine
 * @property {number} offset where the line starts in the file
 * @property {"ok" | "off" | "problem" | "error"} kind
 * @property {string} line the line as it stands
 * @property {string} words
 */
/**
 * What read() makes of a log.
 * @typedef {object} ReadResult
 * @property {import("./logmodel.js").Model} model
 * @property {StartupLine[]} startup the first of them, up to 500
 * @property {number} notUnderstood lines that nothing here fits
 * @property {number[]} notUnderstoodOffsets the first of them, up to 500
 * @property {number} lines
 * @property {boolean} nulBytes
 * @property {boolean} cutAtEnd the last block's map lines end early
 * @property {number} size the file's, in bytes
 * @property {number} readTo the bytes read, from the first: the file's size, unless its first chunk showed it is
 *   no log
 * @property {Diagnostics} diagnostics what the last start-up said of the damage-map diagnostics
 */
/**
 * What a reading says of the file, beside whichever part of the model is at hand.
 * @typedef {Omit<ReadResult, "model"> & { model: { backwards: number } }} Outcome
 */
/**
 * The damage-map diagnostics as the start-up left them: no settings line
 * ("unsaid"), off or on in the settings, then installed, refused (another
 * plug-in's hook in the way, or the start-up stopped before them), or nothing
 * patched in a game that the plug-in does not recognise.
 * @typedef {"unsaid" | "off" | "on" | "installed" | "refused" | "unrecognised"} Diagnostics
 */

const text = new TextDecoder("utf-8");
/** @param {string} s */
const ascii = (s) => Uint8Array.from(s, (c) => c.charCodeAt(0));
const MAP = ascii("  map[");
const HEADER = ascii("DamageMapState ");
const VICTIM = ascii("Execution victim decal: ");
const SPLATTER = ascii("Execution splatter decal: ");
const LABELS = [ascii("before_UpdateRenderMaps"), ascii("after_UpdateRenderMaps")];
/** @type {Array<[number, Uint8Array]>} */
const SUFFIXES = [[1, ascii(" needsClear")], [2, ascii(" resetAfterRender")], [4, ascii(" inactive")]];
const FIELDS = Object.fromEntries(["] activeSlot=", " owner=", " tex=", " tex2=", " decals=", " rendered=",
  " flags=0x", " manager=", " mapCount=", " renderedCount=", " cleanupTimer="].map((f) => [f, ascii(f)]));

// The fields of a line are read in place, each from its byte at i to the
// line's end at to; no reader allocates, and a field that does not fit gives
// -1. A decimal leaves where it ended in next, since its length varies.
let next = 0;
/** @param {Uint8Array} b @param {number} i @param {number} to @param {Uint8Array} word */
function has(b, i, to, word) {
  const length = word.length;
  if (i < 0 || i + length > to) return false;
  for (let k = 0; k < length; k++) if (b[i + k] !== word[k]) return false;
  return true;
}
/** @param {Uint8Array} b @param {number} i @param {number} to @param {number} maxDigits */
function decimal(b, i, to, maxDigits) {
  const last = Math.min(to, i + maxDigits);
  let value = 0;
  let k = i;
  for (; k < last; k++) {
    const digit = b[k] - 48;
    if (digit < 0 || digit > 9) break;
    value = value * 10 + digit;
  }
  next = k;
  return k === i ? -1 : value;
}
// The hex digits' values, -1 for any other byte; the plug-in writes capitals.
const HEX = new Int8Array(256).fill(-1);
for (let c = 0; c < 16; c++) HEX["0123456789ABCDEF".charCodeAt(c)] = c;
/** @param {Uint8Array} b @param {number} i @param {number} to @param {number} digits */
function hex(b, i, to, digits) {
  if (i + digits > to) return -1;
  let value = 0;
  for (let k = i; k < i + digits; k++) {
    const digit = HEX[b[k]];
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// Whether the line starts with the log's time stamp, and its milliseconds.
const STAMP = ascii("[0000-00-00 00:00:00.000] ");
/** @param {Uint8Array} b @param {number} from @param {number} to */
function stamped(b, from, to) {
  if (to - from < PREFIX) return false;
  for (let i = 0; i < PREFIX; i++) {
    const c = b[from + i];
    if (STAMP[i] === 48 ? c < 48 || c > 57 : c !== STAMP[i]) return false;
  }
  return true;
}
/** @param {Uint8Array} b @param {number} from */
function stampTime(b, from) {
  /** @param {number} i @param {number} digits */
  const n = (i, digits) => {
    let v = 0;
    for (let k = 0; k < digits; k++) v = v * 10 + b[from + i + k] - 48;
    return v;
  };
  return Date.UTC(n(1, 4), n(6, 2) - 1, n(9, 2), n(12, 2), n(15, 2), n(18, 2), n(21, 3));
}

/** @param {Uint8Array} b @param {number} i @param {number} to @param {Uint8Array} word */
const fieldAt = (b, i, to, word) => (has(b, i, to, word) ? i + word.length : -1);
/** @param {Uint8Array} b @param {number} i @param {number} to @param {Uint8Array} word @param {number} digits */
const hexField = (b, i, to, word, digits) => (has(b, i, to, word) ? hex(b, i + word.length, to, digits) : -1);
/** @param {Uint8Array} b @param {number} i @param {number} to @param {Uint8Array} word @param {number} digits */
const decimalField = (b, i, to, word, digits) => (has(b, i, to, word) ? decimal(b, i + word.length, to, digits) : -1);

// One map line's fields, read into this one record: no allocation a line.
// Most of a diagnostics log is these lines, so each field is checked where
// it must stand rather than searched for.
const map = { index: 0, slot: 0, owner: 0, decals: 0, rendered: 0, flags: 0 };
const OWNER_TO_TEX2 = 15 + 13 + 14; // " owner=" … " tex2=" and their 8 digits each
/**
 * @param {Uint8Array} b
 * @param {number} from
 * @param {number} to
 * @returns {import("./logmodel.js").MapLine | null}
 */
function mapLine(b, from, to) {
  const index = decimal(b, from + MAP.length, to, 3);
  let i = index < 0 ? -1 : fieldAt(b, next, to, FIELDS["] activeSlot="]);
  if (i < 0) return null;
  let slot = LogModel.NO_SLOT;
  if (b[i] === 45 && b[i + 1] === 45) i += 2;
  else if ((slot = decimal(b, i, to, 1)) < 0) return null;
  else i = next;
  const owner = hexField(b, i, to, FIELDS[" owner="], 8);
  if (owner < 0 || hexField(b, i + 15, to, FIELDS[" tex="], 8) < 0) return null;
  if (hexField(b, i + 28, to, FIELDS[" tex2="], 8) < 0) return null;
  const decals = decimalField(b, i + OWNER_TO_TEX2, to, FIELDS[" decals="], 3);
  const rendered = decals < 0 ? -1 : decimalField(b, next, to, FIELDS[" rendered="], 3);
  if (rendered < 0) return null;
  i = next + FIELDS[" flags=0x"].length;
  const flags = hexField(b, next, to, FIELDS[" flags=0x"], 2);
  if (flags < 0) return null;
  i += 2;
  for (let s = 0; s < SUFFIXES.length; s++) if (flags & SUFFIXES[s][0]) i = fieldAt(b, i, to, SUFFIXES[s][1]);
  if (i !== to || index > 255 || decals > 255 || rendered > 255) return null;
  map.index = index;
  map.slot = slot;
  map.owner = owner;
  map.decals = decals;
  map.rendered = rendered;
  map.flags = flags;
  return map;
}

// The maps are logged together whenever any of them changes, so a map's line
// most often repeats its line of the block before. Each map's last line, from
// its index's "]" on, is kept with what it said; a line that repeats it is
// not read again. The same bytes always say the same, whatever file they are in.
const KEPT = 128; // longer than any map line from its "]"
const keptBytes = new Uint8Array(256 * KEPT);
const keptWords = new DataView(keptBytes.buffer);
const keptLength = new Int16Array(256);
const kept = Array.from({ length: 256 }, () => ({ ...map }));
// The chunk's bytes as words, to compare four at a time.
/** @type {DataView<ArrayBufferLike>} */
let words = new DataView(new ArrayBuffer(0));
/** @param {Uint8Array} b */
const wordsOf = (b) => (words.buffer === b.buffer && words.byteOffset === b.byteOffset && words.byteLength === b.length
  ? words : (words = new DataView(b.buffer, b.byteOffset, b.length)));
/**
 * @param {Uint8Array} b
 * @param {number} from
 * @param {number} to
 * @returns {import("./logmodel.js").MapLine | null}
 */
function repeatedOrRead(b, from, to) {
  const index = decimal(b, from + MAP.length, to, 3);
  const i = next;
  const length = to - i;
  if (index < 0 || index > 255 || length > KEPT) return mapLine(b, from, to);
  const base = index * KEPT;
  if (keptLength[index] === length) {
    const w = wordsOf(b);
    let k = 0;
    while (k + 4 <= length && w.getInt32(i + k) === keptWords.getInt32(base + k)) k += 4;
    while (k < length && b[i + k] === keptBytes[base + k]) k++;
    if (k === length) return kept[index];
  }
  const read = mapLine(b, from, to);
  if (read) {
    keptBytes.set(b.subarray(i, to), base);
    keptLength[index] = length;
    Object.assign(kept[index], read);
  }
  return read;
}

/**
 * @param {Uint8Array} b
 * @param {number} from
 * @param {number} to
 * @returns {import("./logmodel.js").Header | null}
 */
function headerLine(b, from, to) {
  let i = from + HEADER.length;
  const after = b[i] === LABELS[1][0];
  i = fieldAt(b, i, to, LABELS[after ? 1 : 0]);
  const manager = i < 0 ? -1 : hexField(b, i, to, FIELDS[" manager="], 8);
  const mapCount = manager < 0 ? -1 : decimalField(b, i + 17, to, FIELDS[" mapCount="], 5);
  const renderedCount = mapCount < 0 ? -1 : decimalField(b, next, to, FIELDS[" renderedCount="], 5);
  const cleanupTimer = renderedCount < 0 ? -1 : decimalField(b, next, to, FIELDS[" cleanupTimer="], 10);
  if (cleanupTimer < 0 || next !== to || mapCount > 65535 || renderedCount > 65535 || cleanupTimer > 0xffffffff) {
    return null;
  }
  return { after, manager, mapCount, renderedCount, cleanupTimer };
}

// The start-up lines, each put into words for a player. A feature's name in
// the plug-in's lines, and what it is to a player.
/** @type {Record<string, string>} */
const FEATURES = {
  "Blood decal color/alpha patch": "The decal colour and opacity patch (PatchBloodDecalColorAndAlpha)",
  "Execution blood decal hook": "The execution blood decal fix (FixExecutionBloodDecals)",
  "CharacterDamageManager diagnostics hook": "The damage-map diagnostics (LogDamageMapDiagnostics)",
  "Stale damage-map clear blend hook": "The stale damage-map fix (FixStaleDamageMapDecals)",
};
/** @param {string} name */
const feature = (name) => FEATURES[name] || name;
// "is" or "are", as the feature's words need.
/** @param {string} name */
const is = (name) => (feature(name).includes("diagnostics (") ? "are" : "is");
// Another plug-in by its module's file name; code in no module has none.
/** @param {string} module */
const other = (module) => `another plug-in (${module === "no module" ? "its code lies in no module" : module})`;
/** @param {string} flag */
const onOff = (flag) => (flag === "1" ? "on" : "off");
const F = "-?\\d+\\.(?:\\d+|#[A-Z0-9]+)";
const ADDRESS = "0x([0-9A-F]{8})";

const DIAGNOSTICS_HOOK = "CharacterDamageManager diagnostics hook";
/** @param {RegExpExecArray} m @returns {Diagnostics | undefined} */
const refused = (m) => (m[1] === DIAGNOSTICS_HOOK ? "refused" : undefined);

// [pattern, kind, words, and what the line says of the diagnostics, if anything].
/** @type {Array<[RegExp, StartupLine["kind"], (match: RegExpExecArray) => string,
 *   ((match: RegExpExecArray) => Diagnostics | undefined)?]>} */
const STARTUP = [
  [/^Logger initialized$/, "ok", () => "The log was started (EnableLogging=1)."],
  [/^InitializeASI$/, "ok", () => "The ASI loader started the plug-in."],
  [new RegExp("^Settings: FixExecutionBloodDecals=([01]) PatchBloodDecalColorAndAlpha=([01]) " +
    "FixStaleDamageMapDecals=([01]) EnableLogging=([01]) LogDamageMapDiagnostics=([01]) LogExecutionDecals=([01]) " +
    "RGB/A=(\\d+),(\\d+),(\\d+),(\\d+)$"), "ok", (m) => `Settings read: execution blood decal fix ${onOff(m[1])}, ` +
    `colour patch ${onOff(m[2])}, stale damage-map fix ${onOff(m[3])}, logging ${onOff(m[4])}, damage-map ` +
    `diagnostics ${onOff(m[5])}, execution decal lines ${onOff(m[6])}; colour ${m[7]}/${m[8]}/${m[9]}, alpha ${m[10]}.`,
    (m) => (m[5] === "1" ? "on" : "off")],
  [/^Applying blood decal color\/alpha patch with contained Wii-style source blend: red=(\d+) green=(\d+) blue=(\d+) alpha=(\d+)$/,
    "ok", (m) => `The decal colour patch is installed: decals are drawn in ${m[1]}/${m[2]}/${m[3]} with alpha ` +
    `${m[4]}, blended Wii-style.`],
  [new RegExp(`^Installing CharacterDamageMap blend restore hook at ${ADDRESS}$`), "ok",
    (m) => `With it, the usual blending is put back when the decal drawing ends (at 0x${m[1]}).`],
  [/^Blood decal color\/alpha patch disabled$/, "off",
    () => "The decal colour patch is off (PatchBloodDecalColorAndAlpha=0): the game's own decal look."],
  [new RegExp(`^Installing execution blood decal hook at ${ADDRESS}$`), "ok",
    () => "The execution blood decal fix is installed: executions that are not interactive get their blood decals."],
  [/^Execution blood decal hook disabled$/, "off", () => "The execution blood decal fix is off (FixExecutionBloodDecals=0)."],
  [new RegExp(`^Installing CharacterDamageManager diagnostics hook at call ${ADDRESS}$`), "ok",
    () => "The damage-map diagnostics are installed: the maps are logged whenever they change.", () => "installed"],
  [new RegExp(`^Installing stale damage-map clear blend hook: setup=${ADDRESS}$`), "ok",
    () => "The stale damage-map fix is installed: a reused map is cleared of its old blood."],
  [new RegExp(`^(.+) not installed: ${ADDRESS} holds a (jump|call) to ${ADDRESS} \\((.*)\\), another plug-in's hook; left as it is$`),
    "problem", (m) => `${feature(m[1])} ${is(m[1])} not installed: ${other(m[5])} put a ${m[3]} to its own code ` +
    `at 0x${m[2]}, and the plug-in leaves it as it is. The other fixes are not affected.`, refused],
  [/^(.+) not installed: start-up stopped before its bytes were written$/, "error", (m) => `${feature(m[1])} ` +
    `${is(m[1])} not installed: the plug-in's start-up stopped on an error before it changed the game's code there.`,
    refused],
  [new RegExp(`^(.+) left as it is: the call at ${ADDRESS} now leads to ${ADDRESS} \\((.*)\\), put over this plug-in's hook$`),
    "problem", (m) => `${feature(m[1])}: ${other(m[4])} put its own hook over this plug-in's at ` +
    `0x${m[2]} since an earlier start; it is left as it is.`, refused],
  [new RegExp(`^The call at ${ADDRESS} led to ${ADDRESS} \\((.*)\\), another plug-in's hook: calls are handed on to it$`),
    "ok", (m) => `A${other(m[3]).slice(1)} had hooked the call at 0x${m[1]}: this plug-in takes its place and ` +
    "hands every call on to it, so both work."],
  [/^Host not recognised: (.*); nothing patched$/, "error", (m) => "This is not the version of the game that the " +
    `plug-in is made for (${m[1]}): it changed nothing, and the game runs as without it.`, () => "unrecognised"],
  [new RegExp(`^Patch skipped: ${ADDRESS} \\((\\d+) bytes\\) could not be made writable$`), "error",
    (m) => `${m[2]} bytes of the game's code at 0x${m[1]} could not be made writable, so they were left as they ` +
    "are: that fix may be incomplete."],
  [/^InitializeASI stopped by an error: (.*)$/, "error", (m) => `The plug-in's start-up stopped on an error (${m[1]}): ` +
    "the fixes after this line were not installed."],
  [/^InitializeASI stopped by an unknown error$/, "error",
    () => "The plug-in's start-up stopped on an error: the fixes after this line were not installed."],
  [/^Vorlaine\.Crimsel\.ini left as it is: (.*)$/, "problem",
    (m) => `The plug-in did not complete Vorlaine.Crimsel.ini (${m[1]}).`],
  [/^Vorlaine\.Crimsel\.ini is UTF-16 text: missing keys were added, no comments$/, "ok",
    () => "Vorlaine.Crimsel.ini is UTF-16 text: only the settings it lacked were added."],
  [/^Completing Vorlaine\.Crimsel\.ini stopped(?: \((.*)\))?; its values are read as they stand$/, "problem",
    (m) => `Completing Vorlaine.Crimsel.ini stopped${m[1] ? ` (${m[1]})` : ""}: the file is as it was, and its ` +
    "values were read as they stand."],
  [/^UpdateWiiExecution: interactive execution mode is on, using original game function$/, "ok",
    () => "Interactive executions are on in the game: the game draws their blood itself."],
];
const EXECUTION = new RegExp(`^Execution (?:victim decal: player=[0-9A-F]{8} victim=[0-9A-F]{8}|splatter decal: ` +
  `player=[0-9A-F]{8}) execId=-?\\d+ stage=-?\\d+ index=\\d+/\\d+ time=${F} animTime=${F} pos=\\(${F}, ${F}\\) ` +
  "texture=.*$", "s");

/** @typedef {ReadResult & { model: import("./logmodel.js").Reading }} Reading */

/**
 * The buffer filled from the reader, to its end or the file's, as the reader
 * hands it back.
 * @param {ReadableStreamBYOBReader} reader
 * @param {ArrayBuffer} buffer
 * @returns {Promise<Uint8Array<ArrayBuffer>>}
 */
async function fill(reader, buffer) {
  let filled = 0;
  while (filled < buffer.byteLength) {
    const { value, done } = await reader.read(new Uint8Array(buffer, filled));
    if (!value) break;
    buffer = value.buffer;
    filled += value.byteLength;
    if (done) break;
  }
  return new Uint8Array(buffer, 0, filled);
}

/** @param {Uint8Array} a @param {Uint8Array} b */
function joined(a, b) {
  const both = new Uint8Array(a.length + b.length);
  both.set(a);
  both.set(b, a.length);
  return both;
}

/** @param {Reading} result @param {number} offset */
function notUnderstood(result, offset) {
  result.notUnderstood++;
  if (result.notUnderstoodOffsets.length < KEPT_UNDERSTOOD) result.notUnderstoodOffsets.push(offset);
}

// One line, from its first byte to its line end, read into the result.
/**
 * @param {Reading} result
 * @param {Uint8Array} b
 * @param {number} from
 * @param {number} to
 * @param {number} offset
 */
function line(result, b, from, to, offset) {
  result.lines++;
  const message = from + PREFIX;
  const fits = stamped(b, from, to) && to - from <= LONGEST_LINE;
  if (fits && has(b, message, to, MAP)) {
    const read = repeatedOrRead(b, message, to);
    if (read && LogModel.addMap(result.model, read, offset + (to - from))) return;
  } else if (fits && has(b, message, to, HEADER)) {
    const header = headerLine(b, message, to);
    if (header) return LogModel.addBlock(result.model, header, stampTime(b, from), offset, offset + (to - from));
  } else if (fits) {
    nulsIn(result, b, from, to);
    return otherLine(result, b, from, to, offset);
  }
  nulsIn(result, b, from, to);
  notUnderstood(result, offset);
}

// A map or block line that reads has only the plug-in's letters and digits:
// only the other lines, and the bytes skipped, are looked at for NULs.
/** @param {Reading} result @param {Uint8Array} b @param {number} from @param {number} to */
function nulsIn(result, b, from, to) {
  if (!result.nulBytes && b.subarray(from, to).includes(0)) result.nulBytes = true;
}

// A stamped line that is neither a map's nor a block's: an execution decal's,
// a start-up line, or one that nothing here fits.
/**
 * @param {Reading} result
 * @param {Uint8Array} b
 * @param {number} from
 * @param {number} to
 * @param {number} offset
 */
function otherLine(result, b, from, to, offset) {
  const message = from + PREFIX;
  const words = text.decode(b.subarray(message, to));
  const splatter = has(b, message, to, SPLATTER);
  if (splatter || has(b, message, to, VICTIM)) {
    if (EXECUTION.test(words)) LogModel.addExecution(result.model, offset, splatter);
    else notUnderstood(result, offset);
    return;
  }
  for (const [pattern, kind, say, diagnostics] of STARTUP) {
    const match = pattern.exec(words);
    if (match) {
      if (result.startup.length < KEPT_UNDERSTOOD) {
        result.startup.push({ offset, kind, line: text.decode(b.subarray(from, to)), words: say(match) });
      }
      result.diagnostics = diagnostics?.(match) ?? result.diagnostics;
      return;
    }
  }
  notUnderstood(result, offset);
}

/**
 * A reading that can go on as the file grows: its result so far, the line still unfinished at the end of the
 * bytes taken (`carry`, from the file's byte `carryOffset`), whether that line is too long to be the plug-in's
 * and is skipped, and where the next bytes stand in the file. `ended` undoes the reading of the unfinished line
 * as a whole one at the file's end, for a file that then grows.
 * @typedef {{ result: Reading, carry: Uint8Array, carryOffset: number, skipping: boolean, position: number,
 *   ended: Ended | null }} State
 */
/**
 * What reading the last unfinished line changed, to undo it.
 * @typedef {{ lines: number, notUnderstood: number, offsets: number, startup: number, nulBytes: boolean,
 *   diagnostics: Diagnostics, model: LogModel.Mark }} Ended
 */

/** @param {number} size the file's, in bytes, as far as it is known @returns {State} a reading of no bytes yet */
export function begin(size) {
  return { result: { model: LogModel.create(size), startup: [], notUnderstood: 0, notUnderstoodOffsets: [],
    lines: 0, nulBytes: false, cutAtEnd: false, size, readTo: size, diagnostics: "unsaid" },
  carry: new Uint8Array(0), carryOffset: 0, skipping: false, position: 0, ended: null };
}

/**
 * The lines of data that end in it, from its byte at from, read into the state's result; gives where the rest
 * starts.
 * @param {State} state @param {Uint8Array} data @param {number} base its offset in the file @param {number} from
 */
function linesOf(state, data, base, from) {
  const result = state.result;
  for (let newline = data.indexOf(10, from); newline >= 0; newline = data.indexOf(10, from)) {
    const to = newline > from && data[newline - 1] === 13 ? newline - 1 : newline;
    if (state.skipping) {
      nulsIn(result, data, from, newline);
      state.skipping = false;
    } else line(result, data, from, to, base + from);
    from = newline + 1;
  }
  return from;
}

/**
 * The file's next bytes, which stand at state.position: every line that ends in them is read, and the one that
 * does not waits for the bytes after them.
 * @param {State} state
 * @param {Uint8Array} chunk
 */
export function take(state, chunk) {
  const result = state.result;
  const position = state.position;
  let data = chunk;
  let base = position;
  let from = 0;
  // Only the line that the carry begins is joined, not the whole chunk.
  if (state.carry.length > 0) {
    const first = chunk.indexOf(10);
    data = joined(state.carry, first < 0 ? chunk : chunk.subarray(0, first + 1));
    base = state.carryOffset;
    if (first >= 0) {
      linesOf(state, data, base, 0);
      data = chunk;
      base = position;
      from = first + 1;
    }
  }
  from = linesOf(state, data, base, from);
  if (!state.skipping && data.length - from > LONGEST_LINE + 2) {
    notUnderstood(result, base + from);
    result.lines++;
    state.skipping = true;
  }
  if (state.skipping) nulsIn(result, data, from, data.length);
  state.carry = state.skipping ? new Uint8Array(0) : data.slice(from);
  state.carryOffset = state.skipping ? position + chunk.length : base + from;
  state.position = position + chunk.length;
  result.size = result.readTo = state.position;
  result.cutAtEnd = result.model.open >= 0;
}

/**
 * Takes the bytes of a Blob that stands at state.position in the file, a chunk at a time, and reports the share
 * of the file read; the page answers input between chunks. Gives false where the file's first chunk showed it
 * is no log, whose rest is then left.
 * @param {State} state
 * @param {Blob} bytes
 * @param {(fraction: number) => void} onProgress
 */
export async function takeAll(state, bytes, onProgress) {
  const result = state.result;
  const size = state.position + bytes.size;
  // One buffer, filled again for each chunk: no new one a chunk for the
  // collector to free, and none larger than the bytes.
  const reader = bytes.stream().getReader({ mode: "byob" });
  let buffer = new ArrayBuffer(Math.min(CHUNK, bytes.size));
  while (state.position < size) {
    const first = state.position === 0;
    const chunk = await fill(reader, buffer);
    if (chunk.length === 0) break;
    buffer = chunk.buffer;
    take(state, chunk);
    onProgress(Math.min(1, state.position / size));
    // A first chunk with a zero byte and no line of the plug-in's, which
    // writes plain text from its first line, is no Crimsel.log's: the file is
    // answered from it, however large.
    if (first && result.nulBytes && result.notUnderstood === result.lines && chunk.length < size) {
      result.readTo = chunk.length;
      await reader.cancel();
      return false;
    }
  }
  return true;
}

/**
 * The file's end: its last line read, when the log ends without its line end or between its CR and LF. What
 * that changed is kept, to be undone by goOn if the file grows.
 * @param {State} state
 */
export function end(state) {
  const result = state.result;
  if (state.carry.length > 0) {
    state.ended = { lines: result.lines, notUnderstood: result.notUnderstood,
      offsets: result.notUnderstoodOffsets.length, startup: result.startup.length, nulBytes: result.nulBytes,
      diagnostics: result.diagnostics, model: LogModel.mark(result.model) };
    const carry = state.carry;
    line(result, carry, 0, carry.length - (carry[carry.length - 1] === 13 ? 1 : 0), state.carryOffset);
  }
  result.cutAtEnd = result.model.open >= 0;
}

/**
 * A reading that ended, made to go on: the last line, read as a whole one at the end, is unread again, to be
 * read once its line end comes.
 * @param {State} state
 */
export function goOn(state) {
  const ended = state.ended;
  if (!ended) return;
  const result = state.result;
  result.lines = ended.lines;
  result.notUnderstood = ended.notUnderstood;
  result.notUnderstoodOffsets.length = ended.offsets;
  result.startup.length = ended.startup;
  result.nulBytes = ended.nulBytes;
  result.diagnostics = ended.diagnostics;
  LogModel.undo(result.model, ended.model);
  result.cutAtEnd = result.model.open >= 0;
  state.ended = null;
}

// Reads the file (a Blob) and reports progress as a fraction; the page
// answers input between chunks.
/**
 * @param {Blob} file
 * @param {(fraction: number) => void} onProgress
 * @returns {Promise<Reading>} its model's tables with their add
 */
export async function read(file, onProgress) {
  return (await reading(file, onProgress)).result;
}

/**
 * The reading of a whole file, which can go on as the file grows.
 * @param {Blob} file
 * @param {(fraction: number) => void} onProgress
 * @returns {Promise<State>}
 */
export async function reading(file, onProgress) {
  const state = begin(file.size);
  if (await takeAll(state, file, onProgress)) end(state);
  state.result.size = file.size;
  return state;
}

/**
 * A block's lines as they stand in the file.
 * @param {Blob} file
 * @param {{ blocks: { start: Float64Array, end: Float64Array } }} model
 * @param {number} block
 * @returns {Promise<string[]>}
 */
export async function blockLines(file, model, block) {
  const start = model.blocks.start[block];
  const end = model.blocks.end[block];
  const bytes = await file.slice(start, end).text();
  return bytes.split(/\r\n/);
}

/**
 * The line that starts at offset, without its line end.
 * @param {Blob} file
 * @param {number} offset
 * @returns {Promise<string>}
 */
export async function lineAt(file, offset) {
  const text = await file.slice(offset, offset + LONGEST_LINE + 2).text();
  return text.split(/\r?\n/)[0];
}
