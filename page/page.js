// The page's controls: the four colour values (sliders, fields, presets, a
// link's query, the player's INI file), the previews they draw, the lines to
// paste and the buttons that put the colour into a settings file. Text from a
// file or a link is only ever set as text.

import * as Colour from "./colour.js";
import { byId, element, first, setBreakable, setText } from "./dom.js";
import * as PreviewDrawing from "./drawing.js";
import * as BlendModel from "./model.js";
import { startIniSaving } from "./inisaving.js";
import * as IniReading from "./reading.js";

/** @typedef {import("./colour.js").Colour} ColourValues */

/**
 * The colour from the page's address, then from each control, preset and INI file that changes it.
 * @returns {void}
 */
export function startColourPart() {
  let colour = Colour.withValues(Colour.FALLBACKS, Colour.fromQuery(window.location.search));

  /** @param {Partial<ColourValues>} values */
  const setColour = (values) => {
    colour = Colour.withValues(colour, values);
    show(colour);
  };
  takeValues(setColour, () => colour);
  for (const button of document.querySelectorAll("button[data-preset]")) {
    if (!(button instanceof HTMLButtonElement)) continue;
    button.addEventListener("click", () => {
      const [Red, Green, Blue, Alpha] = (button.dataset.preset ?? "").split(",").map(Number);
      setColour({ Red, Green, Blue, Alpha });
    });
  }
  offerCopies();
  offerLink();
  takeIniFiles(setColour, () => colour);
  show(colour);
}

/** @param {import("./colour.js").Channel} name */
const inputs = (name) => document.querySelectorAll(`input[name="${name}"]`);

/**
 * The colour everywhere the page shows it. A field being typed into keeps
 * what is typed until it is left or Enter is pressed.
 * @param {ColourValues} colour
 */
function show(colour) {
  for (const name of Colour.CHANNELS) {
    for (const input of inputs(name)) {
      if (!(input instanceof HTMLInputElement)) continue;
      if (input.type === "range" || input !== document.activeElement) input.value = String(colour[name]);
    }
  }
  setText("colour-words", Colour.words(colour));
  PreviewDrawing.drawSwatch(byId("colour-swatch", HTMLCanvasElement), Colour.swatchColours(colour));
  setText("blend-words", Colour.blendWords(colour));
  const rgba = Colour.rgba(colour);
  PreviewDrawing.drawPreview(first('figure[data-blend="patched"]', HTMLElement), rgba, BlendModel.PATCHED);
  PreviewDrawing.drawPreview(first('figure[data-blend="usual"]', HTMLElement), rgba, BlendModel.USUAL);
  byId("colour-lines", HTMLTextAreaElement).value = Colour.pasteLines(colour);
  byId("colour-link", HTMLAnchorElement).href = Colour.linkQuery(colour);
}

/**
 * A slider moves the colour at once; a field is read as the plug-in reads
 * the INI, once left or on Enter, and then shows the number the plug-in would use.
 * @param {(values: Partial<ColourValues>) => void} setColour
 * @param {() => ColourValues} colour
 */
function takeValues(setColour, colour) {
  for (const name of Colour.CHANNELS) {
    for (const input of inputs(name)) {
      if (!(input instanceof HTMLInputElement)) continue;
      if (input.type === "range") {
        input.addEventListener("input", () => setColour({ [name]: Number(input.value) }));
        continue;
      }
      const take = () => {
        setColour({ [name]: Colour.readTyped(name, input.value) });
        input.value = String(colour()[name]);
      };
      input.addEventListener("change", take);
      input.addEventListener("keydown", (event) => {
        if (event.key === "Enter") take();
      });
    }
  }
}

/** @type {WeakMap<Element, number>} */
const clearing = new WeakMap();

/**
 * Words beside a control, said to a screen reader too, gone after a while.
 * @param {Element | null} where
 * @param {string} text
 */
function say(where, text) {
  if (!where) return;
  where.textContent = text;
  clearTimeout(clearing.get(where));
  clearing.set(where, window.setTimeout(() => {
    where.textContent = "";
  }, 4000));
}

/** Each copy button copies its lines as they stand. */
function offerCopies() {
  for (const button of document.querySelectorAll("button[data-copy]")) {
    if (!(button instanceof HTMLButtonElement)) continue;
    button.addEventListener("click", async () => {
      const area = byId(button.dataset.copy ?? "", HTMLTextAreaElement);
      area.select();
      let copied = true;
      try {
        await navigator.clipboard.writeText(area.value);
      } catch {
        copied = document.execCommand("copy");
      }
      say(button.nextElementSibling, copied ? "Copied" : "Not copied: select the lines and copy them yourself");
    });
  }
}

/** The link changes the address in place: what was read stays on the page. */
function offerLink() {
  const link = byId("colour-link", HTMLAnchorElement);
  link.addEventListener("click", (event) => {
    // A click with a key held, or of another button, is the browser's: a new tab or window.
    if (event.button !== 0 || event.ctrlKey || event.metaKey || event.shiftKey || event.altKey) return;
    event.preventDefault();
    window.history.replaceState(null, "", link.getAttribute("href"));
    say(document.getElementById("link-said"), "The address now carries this colour: bookmark or share it.");
  });
}

/**
 * What was read of an INI file, and the settings that the plug-in would take.
 * @param {string} fileName
 * @param {import("./reading.js").IniResult} result
 */
function report(fileName, result) {
  byId("ini-report", HTMLElement).hidden = false;
  setText("ini-name", fileName);
  byId("ini-notes", HTMLElement).replaceChildren(...result.notes.map((/** @type {import("./reading.js").Note} */ note) =>
    element("li", note.text, note.kind)));
  const heads = [...document.querySelectorAll("#ini-settings th")].map((head) => head.textContent ?? "");
  const rows = result.settings.map((/** @type {import("./reading.js").Setting} */ setting) => {
    const row = element("tr");
    row.dataset.key = setting.key;
    const taken = setting.kind === "switch" ? `${setting.value} (${setting.value ? "on" : "off"})` : String(setting.value);
    const from = setting.entry ? `line ${setting.entry.line}: ${setting.entry.text.trim()}` : "not found: its default";
    row.append(...[setting.key, `[${setting.section}]`, taken, from].map((text, i) => {
      const cell = setBreakable(element("td"), text);
      cell.dataset.label = heads[i]; // said beside the cell where the table stacks in a narrow window
      return cell;
    }));
    return row;
  });
  first("#ini-settings tbody", HTMLElement).replaceChildren(...rows);
  byId("ini-settings", HTMLElement).hidden = !result.ini;
}

/**
 * An INI file chosen or dropped onto the page (a dropped log goes to the log
 * part): what was read of it, and its colour, if it is an INI. Where the
 * browser has a file picker that lets the page save over the file chosen, the
 * file input opens that one.
 * @param {(values: Partial<ColourValues>) => void} setColour
 * @param {() => ColourValues} colour
 */
function takeIniFiles(setColour, colour) {
  /** @param {File} file @param {FileSystemFileHandle | null} handle */
  const readIni = async (file, handle = null) => {
    const bytes = new Uint8Array(await file.arrayBuffer());
    const result = IniReading.readSettings(bytes);
    report(file.name, result);
    // A file that is not an INI leaves the colour that was chosen.
    if (result.ini) setColour(Colour.fromSettings(result.settings));
    given({ name: file.name, bytes, ini: result.ini, handle });
  };
  const given = startIniSaving(colour, readIni);
  given(null);
  const fileInput = byId("ini-file", HTMLInputElement);
  fileInput.addEventListener("change", () => {
    if (fileInput.files && fileInput.files.length > 0) readIni(fileInput.files[0]);
  });
  const picking = /** @type {{ showOpenFilePicker?: (options: object) => Promise<FileSystemFileHandle[]> }} */ (
    /** @type {unknown} */ (window));
  let pick = typeof picking.showOpenFilePicker === "function";
  fileInput.addEventListener("click", async (event) => {
    if (!pick || !picking.showOpenFilePicker) return;
    event.preventDefault();
    try {
      const [handle] = await picking.showOpenFilePicker({ types: [{ description: "Settings file (.ini)",
        accept: { "text/plain": [".ini"] } }] });
      await readIni(await handle.getFile(), handle);
    } catch (error) {
      if (error instanceof DOMException && error.name === "AbortError") return;
      // The browser's own picker for the next choice: the page then downloads what it makes.
      pick = false;
      say(byId("ini-saved", HTMLElement), "Your browser would not open the file this way: choose it again.");
    }
  });
  document.addEventListener("dragover", (event) => event.preventDefault());
  document.addEventListener("drop", (event) => {
    event.preventDefault();
    const file = event.dataTransfer?.files[0];
    if (file && !file.name.toLowerCase().endsWith(".log")) readIni(file);
  });
}
