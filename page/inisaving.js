// The page's two ways to a settings file with the chosen colour: the player's
// own file changed by iniwriting.js, saved over it where the browser lets the
// page (a file opened through its file picker), else downloaded under its own
// name; and, with no file at hand, the INI of the plug-in's first start, which
// the build put into the page, with the colour. Nothing leaves the browser.

import { byId, element, setText } from "./dom.js";
import * as IniWriting from "./iniwriting.js";

/** @typedef {import("./colour.js").Colour} Colour */
/** @typedef {import("./reading.js").Note} Note */
/**
 * A file that the player gave: its name, its bytes as read, whether it reads as an INI, and the handle to
 * save over it, where the browser gave one.
 * @typedef {{ name: string, bytes: Uint8Array, ini: boolean, handle: FileSystemFileHandle | null }} Given
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

/** @param {string} name */
const downloaded = (name) => `Your browser puts the new ${name} into its downloads folder: move it beside ` +
  "Vorlaine.Crimsel.asi, in place of the old one, and start the game again.";

/**
 * The file read afresh through its handle (so that nothing written meanwhile is lost), changed and saved over;
 * the browser asks the player first. Null where the browser refused.
 * @param {FileSystemFileHandle} handle
 * @param {Colour} colour
 * @returns {Promise<IniWriting.Made | null>}
 */
async function saveOver(handle, colour) {
  try {
    const made = IniWriting.putColour(new Uint8Array(await (await handle.getFile()).arrayBuffer()), colour);
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
 * The buttons that put the colour into a settings file.
 * @param {() => Colour} colour the colour as chosen when a button is pressed
 * @param {(file: File, handle: FileSystemFileHandle) => Promise<void>} reread shows a file saved over as it now is
 * @returns {(given: Given | null) => void} to be told of each file given
 */
export function startIniSaving(colour, reread) {
  /** @type {Given | null} */
  let given = null;
  byId("ini-put", HTMLButtonElement).addEventListener("click", async () => {
    if (!given) return;
    const { name, bytes, handle } = given;
    const saved = handle ? await saveOver(handle, colour()) : null;
    if (handle && saved?.bytes) {
      await reread(await handle.getFile(), handle);
      tell(saved.notes, `Saved into ${name}: start the game again to see the new colour.`);
      return;
    }
    const made = saved ?? IniWriting.putColour(bytes, colour());
    if (made.bytes) download(name, made.bytes);
    tell(made.notes, made.bytes ? (handle ? "Your browser did not let this page save over your file. " : "") +
      downloaded(name) : "");
  });
  byId("ini-new", HTMLButtonElement).addEventListener("click", () => {
    const text = JSON.parse(byId("first-start-ini", HTMLScriptElement).text);
    download("Vorlaine.Crimsel.ini", IniWriting.firstStartIni(text, colour()));
    tell([], downloaded("Vorlaine.Crimsel.ini"));
  });
  return (file) => {
    given = file;
    byId("ini-put-part", HTMLElement).hidden = !file;
    byId("ini-new-part", HTMLElement).hidden = Boolean(file?.ini);
    tell([], "");
  };
}
