// Puts a colour into the player's Vorlaine.Crimsel.ini where the plug-in will
// read it, changing nothing else: the five keys are found as reading.js finds
// them (the first of its name in the first section of its name), a value is
// replaced in place, a missing key goes at the end of the first section of its
// name and a missing section at the end of the file. The file is edited as
// bytes, in its own code units, so that its encoding, byte-order mark, line
// ends, comments and every other line stay byte for byte; all that is written
// is ASCII. Keys of the same names that the plug-in does not read are left alone
// and named in a note.

import { findKey, isBlank, readSettings, sameName } from "./reading.js";

/** @typedef {import("./reading.js").Note} Note */
/** @typedef {import("./reading.js").Layout} Layout */
/** @typedef {import("./colour.js").Colour} Colour */
/**
 * The new file and what was done to it, or null and why the file was left as it is.
 * @typedef {{ bytes: Uint8Array | null, notes: Note[] }} Made
 */
/** Text put before a byte offset of the file. @typedef {{ at: number, cut: number, text: string }} Edit */

const CR = 0x0d;
const LF = 0x0a;
const EQUALS = 0x3d;

// The keys that the page puts into the file, in the order that the plug-in reads them.
const WRITTEN = [
  { section: "General", key: "PatchBloodDecalColorAndAlpha" },
  { section: "BloodDecal", key: "Red" },
  { section: "BloodDecal", key: "Green" },
  { section: "BloodDecal", key: "Blue" },
  { section: "BloodDecal", key: "Alpha" },
];

/**
 * The file's code units (bytes, or UTF-16's in its order) and its lines: where
 * each starts and where its text and its line end stop, numbered as
 * reading.js numbers them.
 * @param {Uint8Array} bytes
 * @param {Layout} layout
 */
function fileLines(bytes, layout) {
  const size = layout.wide ? 2 : 1;
  const high = layout.wide === "be" ? 0 : 1;
  /** @param {number} at a byte offset */
  const unit = (at) => (size === 1 ? bytes[at] : bytes[at + high] * 256 + bytes[at + 1 - high]);
  const end = layout.start + Math.floor((bytes.length - layout.start) / size) * size;
  /** @type {number[]} */
  const starts = [];
  /** @type {number[]} */
  const textEnds = [];
  for (let at = layout.start; at < end;) {
    starts.push(at);
    while (at < end && unit(at) !== CR && unit(at) !== LF) at += size;
    textEnds.push(at);
    if (at === end) break;
    const ended = unit(at);
    at += size;
    if (ended === CR && at < end && unit(at) === LF) at += size;
  }
  /** @param {number} line 1-based @returns {number} the byte offset after its line end */
  const next = (line) => (line < starts.length ? starts[line] : bytes.length);
  return { size, unit, starts, textEnds, next };
}

/**
 * The edit that gives the key on this line the value, keeping its name and the
 * blanks around them: the text after "=" and its blanks is replaced, or, with
 * no "=", "=" and the value go after the name.
 * @param {ReturnType<typeof fileLines>} lines
 * @param {number} line 1-based
 * @param {string} value
 * @returns {Edit}
 */
function valueEdit({ size, unit, starts, textEnds }, line, value) {
  const start = starts[line - 1];
  let equals = start;
  while (equals < textEnds[line - 1] && unit(equals) !== EQUALS) equals += size;
  let end = textEnds[line - 1];
  const floor = equals < end ? equals + size : start;
  while (end > floor && isBlank(unit(end - size))) end -= size;
  if (equals === textEnds[line - 1]) return { at: end, cut: 0, text: `=${value}` };
  let from = floor;
  while (from < end && isBlank(unit(from))) from += size;
  return { at: from, cut: end - from, text: value };
}

/**
 * The line end that new lines take: that of the line they follow, else the
 * file's first, else Windows's.
 * @param {ReturnType<typeof fileLines>} lines
 * @param {Uint8Array} bytes
 * @param {number} line 1-based, or 0 for none
 */
function lineEnd({ size, unit, starts, textEnds, next }, bytes, line) {
  /** @param {number} n */
  const endOf = (n) => {
    let text = "";
    for (let at = textEnds[n - 1]; at < next(n); at += size) text += String.fromCharCode(unit(at));
    return text;
  };
  if (line > 0 && endOf(line) !== "") return endOf(line);
  for (let n = 1; n <= starts.length; n++) if (endOf(n) !== "") return endOf(n);
  return "\r\n";
}

/**
 * ASCII text in the file's code units.
 * @param {string} text
 * @param {Layout} layout
 */
function encoded(text, layout) {
  const size = layout.wide ? 2 : 1;
  const out = new Uint8Array(text.length * size);
  for (let i = 0; i < text.length; i++) out[i * size + (layout.wide === "be" ? 1 : 0)] = text.charCodeAt(i);
  return out;
}

/**
 * The bytes with the edits made, each at its offset, in the order given where two meet.
 * @param {Uint8Array} bytes
 * @param {Edit[]} edits
 * @param {Layout} layout
 */
function edited(bytes, edits, layout) {
  const ordered = edits.map((edit, i) => ({ ...edit, i })).sort((a, b) => a.at - b.at || a.i - b.i);
  /** @type {Uint8Array[]} */
  const parts = [];
  let from = 0;
  for (const edit of ordered) {
    parts.push(bytes.subarray(from, edit.at), encoded(edit.text, layout));
    from = edit.at + edit.cut;
  }
  parts.push(bytes.subarray(from));
  const out = new Uint8Array(parts.reduce((total, part) => total + part.length, 0));
  parts.reduce((at, part) => (out.set(part, at), at + part.length), 0);
  return out;
}

/**
 * The player's file with the colour and the patch switched on, each where the
 * plug-in reads it, and notes in plain words on what changed, in the new file's
 * line order; a file that is no INI the plug-in would read is left as it is,
 * with the reason.
 * @param {Uint8Array} bytes
 * @param {Colour} colour
 * @returns {Made}
 */
export function putColour(bytes, colour) {
  const read = readSettings(bytes);
  /** @param {string} why */
  const refused = (why) => ({ bytes: null, notes: [{ kind: /** @type {const} */ ("problem"), line: 0,
    text: `Your file was not changed. ${why}` }] });
  if (!read.ini) return refused(read.notes[0].text);
  if (read.layout.wide && (bytes.length - read.layout.start) % 2 === 1) {
    return refused("It is UTF-16 text with one byte too many at its end, so it is damaged: open it in Notepad, " +
      "save it as ANSI or UTF-8 and give it to this page again.");
  }
  const lines = fileLines(bytes, read.layout);
  /** @type {Record<string, number>} */
  const values = { PatchBloodDecalColorAndAlpha: 1, ...colour };
  /** @type {Edit[]} */
  const edits = [];
  /** @type {Map<string, string[]>} the lines that each section lacks */
  const missing = new Map();
  /** @type {Array<(shift: (line: number) => number) => Note>} */
  const notes = [];
  for (const { section, key } of WRITTEN) {
    const value = String(values[key]);
    const entry = findKey(read.sections, section, key);
    if (entry && entry.value !== value) {
      edits.push(valueEdit(lines, entry.line, value));
      notes.push((shift) => ({ kind: "info", line: shift(entry.line), text: `Line ${shift(entry.line)}: ${key} ` +
        (!entry.value ? `now has the value ${value}.` : `changed from ${entry.value} to ${value}.`) }));
    } else if (!entry) {
      missing.set(section, [...(missing.get(section) ?? []), `${key}=${value}`]);
    }
    for (const other of read.sections.flatMap((s) => s.keys).filter((k) => sameName(k.name, key) && k !== entry)) {
      notes.push((shift) => ({ kind: "problem", line: shift(other.line), text: `Line ${shift(other.line)}: ` +
        `${other.text.trim()} is left as it was: the plug-in does not read it (it reads only the first ${key} ` +
        `under the first [${section}]). You may delete this line.` }));
    }
  }
  const shift = addLines(bytes, lines, read.sections, missing, edits, notes);
  const said = notes.map((say) => say(shift)).sort((a, b) => a.line - b.line);
  if (edits.length === 0) said.unshift({ kind: "info", line: 0, text: "Your file already holds these numbers." });
  return { bytes: edited(bytes, edits, read.layout), notes: said };
}

/**
 * The edits that add the missing lines: at the end of the first section of
 * their name, or in new sections at the end of the file after a blank line,
 * each in the line ends of the file; and how the file's lines move down.
 * @param {Uint8Array} bytes
 * @param {ReturnType<typeof fileLines>} lines
 * @param {import("./reading.js").Section[]} sections
 * @param {Map<string, string[]>} missing
 * @param {Edit[]} edits
 * @param {Array<(shift: (line: number) => number) => Note>} notes
 * @returns {(line: number) => number} the new number of a line of the file
 */
function addLines(bytes, lines, sections, missing, edits, notes) {
  /** @type {Array<{ after: number, count: number }>} */
  const added = [];
  const shift = (/** @type {number} */ line) =>
    line + added.filter((a) => a.after < line).reduce((total, a) => total + a.count, 0);
  const count = lines.starts.length;
  /** @param {number} line */
  const unended = (line) => line > 0 && lines.next(line) === lines.textEnds[line - 1];
  const atEnd = [...missing].filter(([section]) => !sections.some((s) => s.line > 0 && sameName(s.name, section)));
  for (const [section, keyLines] of missing) {
    const own = sections.find((s) => s.line > 0 && sameName(s.name, section));
    if (!own) continue;
    const last = own.keys.length > 0 ? own.keys[own.keys.length - 1].line : own.line;
    const end = lineEnd(lines, bytes, last);
    edits.push({ at: lines.next(last), cut: 0, text: `${unended(last) ? end : ""}${keyLines.join(end)}${end}` });
    added.push({ after: last, count: keyLines.length });
    notes.push((moved) => ({ kind: "info", line: moved(last) + 1, text: `Line ${moved(last) + 1}: ` +
      `${keyLines.join(", ")} added under [${own.name}], where the plug-in reads ${keyLines.length > 1 ? "them" :
        "it"}.` }));
  }
  if (atEnd.length === 0) return shift;
  // Keys added after the file's last line have ended it, and a last line that is
  // blank, or blanks only, already stands before the new sections.
  const extended = added.some((a) => a.after === count);
  let blankLast = !extended;
  for (let at = lines.starts[count - 1]; blankLast && at < lines.textEnds[count - 1]; at += lines.size) {
    blankLast = isBlank(lines.unit(at));
  }
  const end = lineEnd(lines, bytes, count);
  let text = `${unended(count) && !extended ? end : ""}${blankLast ? "" : end}`;
  let first = count + (blankLast ? 1 : 2);
  for (const [section, keyLines] of atEnd) {
    const header = first;
    notes.push((moved) => ({ kind: "info", line: moved(header), text: `Line ${moved(header)}: a section ` +
      `[${section}] added at the end of the file, with ${keyLines.join(", ")}.` }));
    text += `[${section}]${end}${keyLines.join(end)}${end}`;
    first += 1 + keyLines.length;
  }
  edits.push({ at: bytes.length, cut: 0, text });
  return shift;
}

/**
 * The INI that the plug-in writes on its first start, from its text (one character a byte), with the colour
 * and the patch switched on.
 * @param {string} text
 * @param {Colour} colour
 * @returns {Uint8Array}
 */
export function firstStartIni(text, colour) {
  const made = putColour(Uint8Array.from(text, (c) => c.charCodeAt(0)), colour);
  if (!made.bytes) throw new Error(`the first-start INI is no INI: ${made.notes[0].text}`);
  return made.bytes;
}
