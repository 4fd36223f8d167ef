// Reads Vorlaine.Crimsel.ini as the plug-in does: the platform's profile reader
// finds the text of each key (the first of its name in the first section of its
// name, blanks trimmed, one pair of quotes stripped, cut to 31 characters), and
// the plug-in judges that text as a switch or a colour value. Nothing here writes
// the file (iniwriting.js does, from what is read here), and every text taken
// from it is handed on as plain data.

/**
 * A key=value line, or a key without "=" (its value null).
 * @typedef {{ name: string, value: string | null, line: number, text: string }} Key
 */
/**
 * A section and its keys; the one before any section has line 0.
 * @typedef {{ name: string, line: number, keys: Key[] }} Section
 */
/**
 * How the plug-in judges a value's text.
 * @typedef {object} Judged
 * @property {number} value what the plug-in takes
 * @property {"word" | "number" | "unreadable" | "clamped"} how
 * @property {number} [number] the number that the text reads as, where it reads as one
 */
/** @typedef {{ section: string, key: string, kind: "switch" | "byte", fallback: number }} Known one of the ten */
/**
 * A setting as the plug-in reads it from the file: entry is the key that it reads, if any, and valueText the
 * text that its buffer receives.
 * @typedef {Known & Judged & { entry: Key | null, valueText: string }} Setting
 */
/**
 * What the page says of the file: "info" or "problem", on a line or 0.
 * @typedef {{ kind: "info" | "problem", text: string, line: number }} Note
 */
/**
 * Where the text starts in the file, after its byte-order mark, and how wide its code units are: one byte, or
 * two of UTF-16 in little- or big-endian order.
 * @typedef {{ start: number, wide: "le" | "be" | null }} Layout
 */
/**
 * What readSettings gives: ini is false for a file that is no INI, whose one note says what it is; the notes are
 * in the order of the file's lines, those on the whole file first.
 * @typedef {{ settings: Setting[], notes: Note[], encoding: string, ini: boolean, sections: Section[],
 *   layout: Layout }} IniResult
 */

/** @type {Known[]} */
export const SETTINGS = [
  { section: "General", key: "FixExecutionBloodDecals", kind: "switch", fallback: 1 },
  { section: "General", key: "PatchBloodDecalColorAndAlpha", kind: "switch", fallback: 0 },
  { section: "General", key: "FixStaleDamageMapDecals", kind: "switch", fallback: 1 },
  { section: "BloodDecal", key: "Red", kind: "byte", fallback: 224 },
  { section: "BloodDecal", key: "Green", kind: "byte", fallback: 224 },
  { section: "BloodDecal", key: "Blue", kind: "byte", fallback: 224 },
  { section: "BloodDecal", key: "Alpha", kind: "byte", fallback: 255 },
  { section: "Logging", key: "EnableLogging", kind: "switch", fallback: 0 },
  { section: "Logging", key: "LogDamageMapDiagnostics", kind: "switch", fallback: 0 },
  { section: "Logging", key: "LogExecutionDecals", kind: "switch", fallback: 0 },
];
const SECTIONS = ["General", "BloodDecal", "Logging"];
const VALUE_CAPACITY = 32; // the plug-in's buffer, terminator included
const MAX_NOTES = 50; // a file of junk lines must not bury the page
const COMPLETED_SIZE = 1048576; // the plug-in completes no larger INI
// A line of the plug-in's log, which a player may give as the INI.
const LOG_LINE = /^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] /m;

// The blanks that the profile reader trims around lines, names and values:
// ASCII's, and Ctrl-Z, but not the no-break space.
/** @param {number} code */
export const isBlank = (code) => code === 0x20 || (code >= 0x09 && code <= 0x0d) || code === 0x1a;

// The blanks that the runtime's number conversion skips (iswspace): ASCII's and
// Unicode's spaces, the no-break space among them, but not Ctrl-Z.
/** @param {number} code */
const isSpace = (code) =>
  code === 0x20 || (code >= 0x09 && code <= 0x0d) || code === 0xa0 || code === 0x1680 ||
  (code >= 0x2000 && code <= 0x200a) || code === 0x2028 || code === 0x2029 || code === 0x202f || code === 0x205f ||
  code === 0x3000;

/** @param {string} text */
const trim = (text) => {
  let start = 0;
  let end = text.length;
  while (start < end && isBlank(text.charCodeAt(start))) start++;
  while (end > start && isBlank(text.charCodeAt(end - 1))) end--;
  return text.slice(start, end);
};

// Names and values end at a NUL, as the platform's strings do.
/** @param {string} text */
const untilNul = (text) => {
  const nul = text.indexOf("\0");
  return nul < 0 ? text : text.slice(0, nul);
};

/** @param {string} a @param {string} b */
export const sameName = (a, b) => untilNul(a).toLowerCase() === b.toLowerCase();

// The file's bytes as the platform decodes them: a UTF-8 or UTF-16 byte-order
// mark chooses that encoding, anything else is ANSI text (Windows-1252).
/**
 * @param {Uint8Array} bytes
 * @returns {{ text: string, encoding: string, layout: Layout }}
 */
function decode(bytes) {
  /** @param {...number} mark */
  const starts = (...mark) => mark.every((b, i) => bytes[i] === b);
  /** @param {string} label @param {Layout} layout @param {string} encoding */
  const as = (label, layout, encoding) =>
    ({ text: new TextDecoder(label).decode(bytes.subarray(layout.start)), encoding, layout });
  if (starts(0xef, 0xbb, 0xbf)) return as("utf-8", { start: 3, wide: null }, "UTF-8 text with its byte-order mark");
  if (bytes.length >= 2 && starts(0xff, 0xfe)) {
    return as("utf-16le", { start: 2, wide: "le" }, "UTF-16 LE text with its byte-order mark");
  }
  if (bytes.length >= 2 && starts(0xfe, 0xff)) {
    return as("utf-16be", { start: 2, wide: "be" }, "UTF-16 BE text with its byte-order mark");
  }
  return as("windows-1252", { start: 0, wide: null }, "ANSI or UTF-8 text");
}

// UTF-16 without its mark: NUL bytes at every other place of a text.
/** @param {Uint8Array} bytes */
function looksLikeUtf16WithoutMark(bytes) {
  if (bytes.length < 4) return false;
  const sample = Math.min(bytes.length, 4096) & ~1;
  let evenNul = 0;
  let oddNul = 0;
  for (let i = 0; i < sample; i += 2) {
    if (bytes[i] === 0) evenNul++;
    if (bytes[i + 1] === 0) oddNul++;
  }
  const pairs = sample / 2;
  return Math.max(evenNul, oddNul) >= pairs * 0.4 && Math.min(evenNul, oddNul) <= pairs * 0.05;
}

/** @param {string} line */
const isComment = (line) => line[0] === ";" || line[0] === "#";

// Sections and keys in file order, as the profile reader parses them: lines
// without their blanks, "[" up to the last "]" names a section (blanks inside
// the brackets do not count), anything
// else is a key up to its first "=" (no "=": a key without a value).
//
// Comment lines are not kept: no name of ours starts with ";" or "#", so none
// of them can answer, and a file of millions of them stays small here.
/** @param {string} text */
function parse(text) {
  /** @type {Section[]} */
  const sections = [{ name: "", line: 0, keys: [] }];
  let current = sections[0];
  const lineEnd = /\r\n|\n|\r/g;
  for (let start = 0, number = 1; start < text.length; number++) {
    lineEnd.lastIndex = start;
    const end = lineEnd.exec(text);
    const raw = text.slice(start, end ? end.index : text.length);
    start = end ? end.index + end[0].length : text.length;
    const line = trim(raw);
    if (line === "" || isComment(line)) continue;
    const close = line.lastIndexOf("]");
    if (line[0] === "[" && close > 0) {
      current = { name: trim(line.slice(1, close)), line: number, keys: [] };
      sections.push(current);
      continue;
    }
    const equals = line.indexOf("=");
    const name = equals < 0 ? line : trim(line.slice(0, equals));
    const value = equals < 0 ? null : trim(line.slice(equals + 1));
    current.keys.push({ name, value, line: number, text: raw });
  }
  return sections;
}

// The key that the profile reader answers with: the first of its name in the
// first section of its name, or none.
/**
 * @param {Section[]} sections
 * @param {string} section
 * @param {string} key
 * @returns {Key | null}
 */
export function findKey(sections, section, key) {
  const found = sections.find((s) => s.line > 0 && sameName(s.name, section));
  return found ? found.keys.find((k) => sameName(k.name, key)) || null : null;
}

// The text the plug-in's buffer receives: one pair of quotes stripped, cut to
// 31 characters (the platform drops one more when the quoted text just fits).
/** @param {Key | null} entry @param {string} defaultText */
function profileText(entry, defaultText) {
  let value = untilNul(entry && entry.value !== null ? entry.value : defaultText);
  let quoted = false;
  if ((value[0] === '"' || value[0] === "'") && value.length > 1 && value[value.length - 1] === value[0]) {
    quoted = true;
    value = value.slice(1);
  }
  let copied = value.slice(0, VALUE_CAPACITY - 1);
  if (quoted && VALUE_CAPACITY >= value.length) copied = copied.slice(0, -1);
  return copied;
}

// Digits as the runtime's number conversion takes them: ASCII letters and
// digits, and the digits 0 to 9 of other scripts.
const DIGIT_ZEROS = [0x660, 0x6f0, 0x966, 0x9e6, 0xa66, 0xae6, 0xb66, 0xc66, 0xce6, 0xd66, 0xe50, 0xed0, 0xf20,
  0x1040, 0x17e0, 0x1810, 0xff10];
/** @param {number} code @param {number} base */
function digit(code, base) {
  let value = -1;
  if (code >= 0x30 && code <= 0x39) value = code - 0x30;
  else if (code >= 0x41 && code <= 0x5a) value = code - 0x41 + 10;
  else if (code >= 0x61 && code <= 0x7a) value = code - 0x61 + 10;
  else {
    const zero = DIGIT_ZEROS.find((z) => code >= z && code <= z + 9);
    if (zero !== undefined) value = code - zero;
  }
  return value < base ? value : -1;
}

// wcstol in base 0: blanks, a sign, "0x" for hexadecimal, a leading 0 for
// octal; null when not one digit converts. Saturates at the 32-bit range.
/** @param {string} text @returns {number | null} */
function toNumber(text) {
  let i = 0;
  while (i < text.length && isSpace(text.charCodeAt(i))) i++;
  let negative = false;
  if (text[i] === "-" || text[i] === "+") negative = text[i++] === "-";
  let base = 10;
  if (digit(text.charCodeAt(i), 1) === 0) {
    base = 8;
    if (text[i + 1] === "x" || text[i + 1] === "X") {
      base = 16;
      i += 2;
    }
  }
  let magnitude = 0;
  let converted = false;
  for (; i < text.length; i++) {
    const value = digit(text.charCodeAt(i), base);
    if (value < 0) break;
    converted = true;
    magnitude = Math.min(magnitude * base + value, 2 ** 32);
  }
  if (!converted) return null;
  return negative ? Math.max(-magnitude, -(2 ** 31)) : Math.min(magnitude, 2 ** 31 - 1);
}

// ReadIniBool's judgement of a value: the six words, else a number, else the default.
/** @param {string} text @param {number} fallback @returns {Judged} */
function judgeSwitch(text, fallback) {
  const word = text.toLowerCase();
  if (["true", "yes", "on"].includes(word)) return { value: 1, how: "word" };
  if (["false", "no", "off"].includes(word)) return { value: 0, how: "word" };
  const number = toNumber(text);
  if (number === null) return { value: fallback, how: "unreadable" };
  return { value: number !== 0 ? 1 : 0, how: "number", number };
}

// ReadIniByte's: a number clamped to 0..255, else the default.
/** @param {string} text @param {number} fallback @returns {Judged} */
function judgeByte(text, fallback) {
  const number = toNumber(text);
  if (number === null) return { value: fallback, how: "unreadable" };
  if (number < 0) return { value: 0, how: "clamped", number };
  if (number > 255) return { value: 255, how: "clamped", number };
  return { value: number, how: "number", number };
}

// A colour value from any text (a link's query), by the INI's rules; cut as
// the plug-in's buffer would cut it.
/** @param {string} text @param {number} fallback @returns {number} */
export function readByteText(text, fallback) {
  return judgeByte(String(text).slice(0, VALUE_CAPACITY - 1), fallback).value;
}

/** @param {string} a @param {string} b */
function editDistance(a, b) {
  const row = Array.from({ length: b.length + 1 }, (_, j) => j);
  for (let i = 1; i <= a.length; i++) {
    let diagonal = row[0];
    row[0] = i;
    for (let j = 1; j <= b.length; j++) {
      const above = row[j];
      row[j] = Math.min(row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] === b[j - 1] ? 0 : 1));
      diagonal = above;
    }
  }
  return row[b.length];
}

// The known name that a misspelt one most likely meant, or null.
/** @param {string} name @param {string[]} known */
function nearest(name, known) {
  const lower = trim(untilNul(name)).toLowerCase();
  /** @type {string | null} */
  let best = null;
  let bestDistance = Infinity;
  for (const candidate of known) {
    const distance = editDistance(lower, candidate.toLowerCase());
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return bestDistance <= Math.max(2, Math.floor(lower.length / 4)) ? best : null;
}

/** @param {Section} section */
const where = (section) => (section.line > 0 ? `under [${section.name}]` : "at the top of the file, before any section");

/** @typedef {(kind: Note["kind"], text: string, line?: number | null) => void} Noter */

/** @param {Section[]} sections @returns {Setting[]} */
function judgedSettings(sections) {
  return SETTINGS.map((setting) => {
    const entry = findKey(sections, setting.section, setting.key);
    const valueText = profileText(entry, String(setting.fallback));
    const judged = setting.kind === "switch" ? judgeSwitch(valueText, setting.fallback)
      : judgeByte(valueText, setting.fallback);
    return { ...setting, entry, valueText, ...judged };
  });
}

// A file that is not an INI gets one answer, with the advice that fits, and
// no notes on the keys that its junk seems to hold.
/**
 * @param {Uint8Array} bytes
 * @param {{ text: string, encoding: string }} decoded
 * @param {Section[]} sections
 * @param {Setting[]} settings
 * @returns {string | null}
 */
function notIniAnswer(bytes, { text, encoding }, sections, settings) {
  const found = settings.some((setting) => setting.entry);
  if (bytes.length === 0) {
    return "The file is empty: the plug-in uses the default of every setting, and at the next start of the game " +
      "it fills the file in with every setting and its comment.";
  } else if (encoding === "ANSI or UTF-8 text" && looksLikeUtf16WithoutMark(bytes)) {
    return "This file is UTF-16 (\"Unicode\") text without its byte-order mark, which the plug-in cannot read: " +
      "it uses the default of every setting. Save the file as ANSI or UTF-8 (in Notepad: Save As, Encoding) and " +
      "give it to this page again.";
  } else if (LOG_LINE.test(text)) {
    return "This is a Crimsel.log, the plug-in's log, not its settings file: give it to \"Your log\" below. " +
      "The settings file is Vorlaine.Crimsel.ini, beside the plug-in.";
  } else if (text.includes("\0") && !found) {
    return "This is not a text file: it holds bytes that no text file has, as a picture or a program does, so it " +
      "is no settings file, and the plug-in would find none of its settings in it. Give this page " +
      "Vorlaine.Crimsel.ini, the text file beside Vorlaine.Crimsel.asi.";
  } else if (!sections.some((s) => s.line > 0) && !sections[0].keys.some((k) => k.value !== null)) {
    return "This does not look like an INI file: it has no [section] and no key=value line. The plug-in finds " +
      "none of its settings in it and uses the defaults.";
  }
  return null;
}

// The notes on the file as a whole and on each setting's value.
/**
 * @param {Uint8Array} bytes
 * @param {{ text: string, encoding: string }} decoded
 * @param {Setting[]} settings
 * @param {Noter} note
 */
function valueNotes(bytes, { text, encoding }, settings, note) {
  if (text.includes("\0")) {
    note("problem", "This file holds bytes that no text file has (bytes of value 0, which a damaged save may " +
      "leave): the plug-in reads each line only up to the first of them. Save it again as ANSI or UTF-8 text.");
  } else {
    note("info", `Read as ${encoding}, as the plug-in reads it.`);
  }
  if (bytes.length > COMPLETED_SIZE) {
    note("info", `The file is larger than ${COMPLETED_SIZE} bytes (1 MiB): the plug-in reads its settings but ` +
      "leaves the file as it is, adding none that it lacks.");
  }

  const [patch] = settings.filter((s) => s.key === "PatchBloodDecalColorAndAlpha");
  note(patch.value ? "info" : "problem", patch.value
    ? "PatchBloodDecalColorAndAlpha is on: the game draws its blood decals in the colour below."
    : "PatchBloodDecalColorAndAlpha is off: the plug-in does not use the colour below. Add " +
      "PatchBloodDecalColorAndAlpha=1 under [General] to use it.", patch.entry && patch.entry.line);

  const missing = settings.filter((s) => !s.entry);
  if (missing.length > 0) {
    note("problem", `Not found, so their defaults apply: ${missing.map((s) => `${s.key} (under [${s.section}], ` +
      `default ${s.fallback})`).join(", ")}.`);
  }

  for (const s of settings) {
    if (!s.entry) continue;
    const shown = `${s.key}=${s.entry.value === null ? "" : s.entry.value}`;
    if (s.entry.value === null) {
      note("problem", `Line ${s.entry.line}: ${s.key} has no "=" and no value: the plug-in takes its default ` +
        `${s.fallback}.`, s.entry.line);
    } else if (s.how === "unreadable") {
      note("problem", `Line ${s.entry.line}: ${shown} is not a ${s.kind === "switch" ? "switch (1 or 0, true or " +
        "false, yes or no, on or off)" : "number"}: the plug-in takes its default ${s.fallback}.`, s.entry.line);
    } else if (s.how === "clamped") {
      note("problem", `Line ${s.entry.line}: ${shown} lies outside 0 to 255: the plug-in takes ${s.value}.`,
        s.entry.line);
    } else if (s.how === "number" && String(s.number) !== trim(s.valueText)) {
      note("info", `Line ${s.entry.line}: ${shown} reads as ${s.kind === "switch" ? (s.value ? "on" : "off")
        : s.value}.`, s.entry.line);
    }
  }
}

// The notes on sections and keys that stand where the plug-in does not look.
/** @param {Section[]} sections @param {Noter} note */
function placementNotes(sections, note) {
  const known = SETTINGS.map((s) => s.key);
  for (const section of sections) {
    const sectionName = trim(untilNul(section.name));
    const own = SECTIONS.find((name) => name.toLowerCase() === sectionName.toLowerCase());
    if (section.line > 0 && !own) {
      const meant = nearest(section.name, SECTIONS);
      note("problem", `Line ${section.line}: the plug-in reads no section [${section.name}]` +
        (meant ? `; did you mean [${meant}]?` : "."), section.line);
    } else if (section.line > 0 && sections.find((s) => s.line > 0 && sameName(s.name, section.name)) !== section) {
      note("problem", `Line ${section.line}: [${section.name}] stands a second time; the plug-in reads only ` +
        "the first.", section.line);
    }
    for (const key of section.keys) {
      const setting = SETTINGS.find((s) => sameName(key.name, s.key));
      if (setting) {
        const firstOfName = findKey(sections, setting.section, setting.key);
        const ownSection = sections.find((s) => s.line > 0 && sameName(s.name, setting.section));
        if (section.line === 0 || !sameName(section.name, setting.section)) {
          note("problem", `Line ${key.line}: ${setting.key} stands ${where(section)}; the plug-in reads it ` +
            `only under [${setting.section}].`, key.line);
        } else if (section !== ownSection) {
          note("problem", `Line ${key.line}: ${setting.key} stands in a second [${setting.section}], which the ` +
            `plug-in does not read; move it into the first, on line ${ownSection?.line}.`, key.line);
        } else if (firstOfName !== key) {
          note("problem", `Line ${key.line}: ${setting.key} stands a second time; the plug-in takes the first, ` +
            `on line ${firstOfName?.line}.`, key.line);
        }
      } else if (key.value !== null || section.line > 0) {
        const meant = nearest(key.name, known);
        note("problem", `Line ${key.line}: the plug-in reads no key "${key.name}"` +
          (meant ? `; did you mean ${meant}?` : "."), key.line);
      }
    }
  }
}

// What the plug-in would take from the file, and notes on what a player most
// often gets wrong: keys not found, keys under the wrong section, misspelt
// names, values that are not numbers, files it cannot read.
/** @param {Uint8Array} bytes @returns {IniResult} */
export function readSettings(bytes) {
  /** @type {Note[]} */
  const notes = [];
  let unshown = 0;
  /** @type {Noter} */
  const note = (kind, text, line) => {
    if (notes.length < MAX_NOTES) notes.push({ kind, text, line: line || 0 });
    else unshown++;
  };
  const decoded = decode(bytes);
  const sections = parse(decoded.text);
  const settings = judgedSettings(sections);
  const notIni = notIniAnswer(bytes, decoded, sections, settings);
  const { encoding, layout } = decoded;
  if (notIni) {
    return { settings, notes: [{ kind: "problem", text: notIni, line: 0 }], encoding, ini: false, sections, layout };
  }
  valueNotes(bytes, decoded, settings, note);
  placementNotes(sections, note);
  notes.sort((a, b) => a.line - b.line);
  if (unshown > 0) notes.push({ kind: "problem", text: `And ${unshown} more like these, not shown.`, line: 0 });
  return { settings, notes, encoding, ini: true, sections, layout };
}
