// A file given to the page as the INI, read as a whole only when it can be an
// INI at all: one far larger than any settings file is refused by its size,
// unread (a browser may refuse to read, or to decode, a file of gigabytes), and
// one that the browser cannot read gets words too. No DOM, so that Node can
// import it.

import { readSettings } from "./reading.js";

/**
 * What the page shows of a file read, or refused.
 * @typedef {Pick<import("./reading.js").IniResult, "settings" | "notes" | "ini">} Read
 */

// The plug-in's own INI is a few kilobytes; a player's, with comments, stays far below this.
export const LARGEST = 64 * 1024 * 1024;

const count = new Intl.NumberFormat("en");

/**
 * A size as Windows shows it (its "MB" and "GB" count 1024 times), with the exact number of bytes.
 * @param {number} size
 */
export function sizeWords(size) {
  const [amount, unit] = size >= 2 ** 30 ? [size / 2 ** 30, "GB"] : [size / 2 ** 20, "MB"];
  return `${amount.toFixed(1)} ${unit} (${count.format(size)} bytes)`;
}

/** @param {string} text @returns {Read} */
const refused = (text) => ({ settings: [], notes: [{ kind: "problem", text, line: 0 }], ini: false });

/**
 * The file's bytes and what was read of them, or no bytes and why not.
 * @param {{ size: number, arrayBuffer: () => Promise<ArrayBuffer> }} file a File or Blob
 * @returns {Promise<{ bytes: Uint8Array | null, read: Read }>}
 */
export async function readIni(file) {
  if (file.size > LARGEST) {
    return { bytes: null, read: refused(`This file is ${sizeWords(file.size)}, far larger than any settings file, ` +
      "so this page does not read it. Vorlaine.Crimsel.ini is a small text file of a few kilobytes, beside " +
      "Vorlaine.Crimsel.asi: give this page that one.") };
  }
  let bytes;
  try {
    bytes = new Uint8Array(await file.arrayBuffer());
  } catch (error) {
    const name = error instanceof Error ? ` (${error.name})` : "";
    return { bytes: null, read: refused(`Your browser could not read this file${name}: it may have changed or ` +
      "moved since you chose it. Choose it again, or give this page Vorlaine.Crimsel.ini from beside " +
      "Vorlaine.Crimsel.asi.") };
  }
  return { bytes, read: readSettings(bytes) };
}
