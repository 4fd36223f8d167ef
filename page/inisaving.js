// The page's two ways to a settings file with the chosen colour: the player's
// own file changed by iniwriting.js, saved over it where the browser lets the
// page (a file opened through its file picker), else downloaded under its own
// name; and, with no file at hand, the INI of the plug-in's first start, which
// the build put into the page, with the colour. Nothing leaves the browser.

import { byId, element, setText } from "./dom.js";
import * as IniFile from "./inifile.js";
import * as IniWriting from "./iniwriting.js";

/** @typedef {import("./colour.js").Colour} Colour */
/** @typedef {import("./reading.js").Note} Note */
/**
 * A file that the player gave: its name, its bytes as read (none where it was refused unread), whether it
 * reads as an INI, and the handle to save over it, where the browser gave one.
 * @typedef {{ name: string, bytes: Uint8Array | null, ini: boolean, handle: FileSystemFileHandle | null }} Given
 */
/**
 * Shows a file as the page now has it: read again through its handle after a save, or the bytes downloaded.
 * @typedef {(file: File, handle: FileSystemFileHandle | null, as: "saved" | "downloaded") => Promise<unknown>} Reread
 */

/**
 * What was done, in words: the notes on the file and one sentence on where it went.
 * @param {Note[]} notes
 * @param {string} where
 */
function tell(notes, where) {
  byId("ini-changes", HTMLElement).replaceChildren(...notes.map((note) => element("li", note.text, note.kind)));
  setText("ini-saved", where);
}

/**
 * The bytes handed to the browser as a download of this name, from a blob: URL of the page's own.
 * @param {string} name
 * @param {Uint8Array} bytes
 */
function download(name, bytes) {
  const url = URL.createObjectURL(new Blob([new Uint8Array(bytes)], { type: "application/octet-stream" }));
  const link = element("a");
  link.href = url;
  link.download = name;
  link.hidden = true;
  document.body.append(link);
  link.click();
  link.remove();
  window.setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// The browser may add to the name a number of its own (Firefox's "Vorlaine.Crimsel(1).ini") where a file of
// the name is already in its downloads folder.
/** @param {string} name */
const downloaded = (name) => `Your browser puts the new ${name} into its downloads folder, perhaps under a ` +
  `name with a number added (such as ${name.replace(/(\.[^.]*)?$/, "(1)$1")}) where one of that name is already ` +
  "there: name it Vorlaine.Crimsel.ini and move it beside Vorlaine.Crimsel.asi, in place of the old one, and " +
  "start the game again.";

/**
 * The file read afresh through its handle (so that nothing written meanwhile is lost), changed and saved over;
 * the browser asks the player first. Null where the browser refused.
 * @param {FileSystemFileHandle} handle
 * @param {Colour} colour
 * @returns {Promise<IniWriting.Made | null>}
 */
async function saveOver(handle, colour) {
  try {
    const { bytes, read } = await IniFile.readIni(await handle.getFile());
    const [why] = read.notes;
    if (!bytes) return { bytes: null, notes: [{ ...why, text: `Your file was not changed. ${why.text}` }] };
    const made = IniWriting.putColour(bytes, colour);
    if (made.bytes) {
      const writable = await handle.createWritable();
      await writable.write(new Uint8Array(made.bytes));
      await writable.close();
    }
    return made;
  } catch {
    return null;
  }
}

/**
 * The buttons that put the colour into a settings file. After a save the file is shown as saved: read again
 * through its handle, or from the bytes downloaded. A file left as it was is never said to be saved.
 * @param {() => Colour} colour the colour as chosen when a button is pressed
 * @param {Reread} reread
 * @returns {(given: Given | null) => void} to be told of each file given
 */
export function startIniSaving(colour, reread) {
  /** @type {Given | null} */
  let given = null;
  byId("ini-put", HTMLButtonElement).addEventListener("click", async () => {
    if (!given?.bytes || !given.ini) return;
    const { name, bytes, handle } = given;
    const saved = handle ? await saveOver(handle, colour()) : null;
    if (handle && saved?.bytes) {
      await reread(await handle.getFile(), handle, "saved");
      tell(saved.notes, `Saved into ${name}: start the game again to see the new colour.`);
      return;
    }
    const made = saved ?? IniWriting.putColour(bytes, colour());
    if (!made.bytes) {
      tell(made.notes, "");
      return;
    }
    download(name, made.bytes);
    await reread(new File([new Uint8Array(made.bytes)], name), null, "downloaded");
    tell(made.notes, (handle ? "Your browser did not let this page save over your file. " : "") + downloaded(name));
  });
  byId("ini-new", HTMLButtonElement).addEventListener("click", () => {
    const text = JSON.parse(byId("first-start-ini", HTMLScriptElement).text);
    download("Vorlaine.Crimsel.ini", IniWriting.firstStartIni(text, colour()));
    tell([], downloaded("Vorlaine.Crimsel.ini"));
  });
  return (file) => {
    given = file;
    // For a file that is no INI, nothing to put a colour into: the new file instead.
    byId("ini-put-part", HTMLElement).hidden = !file?.ini;
    byId("ini-new-part", HTMLElement).hidden = Boolean(file?.ini);
    tell([], "");
  };
}
