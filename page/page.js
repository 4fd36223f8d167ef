// The page's controls: the four colour values (sliders, fields, presets, a
// link's query, the player's INI file), the previews they draw, the lines to
// paste and the buttons that put the colour into a settings file. Text from a
// file or a link is only ever set as text.

import * as Colour from "./colour.js";
import * as Choice from "./colourchoice.js";
import { byId, element, first, setBreakable, setText } from "./dom.js";
import * as PreviewDrawing from "./drawing.js";
import * as IniFile from "./inifile.js";
import * as BlendModel from "./model.js";
import { startIniSaving } from "./inisaving.js";

/** @typedef {import("./colour.js").Colour} ColourValues */

/** @typedef {import("./colourchoice.js").Choice} ColourChoice */

/**
 * The colour from the page's address, then from each control, preset and INI file that changes it.
 * @returns {void}
 */
export function startColourPart() {
  let choice = Choice.start(window.location.search);
  /** @param {ColourChoice} next */
  const update = (next) => {
    choice = next;
    show(choice);
  };
  /** @param {Partial<ColourValues>} values */
  const setColour = (values) => update(Choice.choose(choice, values));
  takeValues(setColour);
  for (const button of document.querySelectorAll("button[data-preset]")) {
    if (!(button instanceof HTMLButtonElement)) continue;
    button.addEventListener("click", () => {
      const [Red, Green, Blue, Alpha] = (button.dataset.preset ?? "").split(",").map(Number);
      setColour({ Red, Green, Blue, Alpha });
    });
  }
  offerCopies();
  offerLink();
  byId("ini-take-colour", HTMLButtonElement).addEventListener("click", () => {
    update(Choice.takeFile(choice));
    // The button is gone: the report's heading keeps the keyboard where it was.
    byId("ini-heading", HTMLElement).focus();
  });
  takeIniFiles(() => choice.colour, (file) => update(Choice.fileGiven(choice, file)));
  show(choice);
}

/** @param {import("./colour.js").Channel} name */
const inputs = (name) => document.querySelectorAll(`input[name="${name}"]`);

/** The fields typed into since they last showed the colour. @type {WeakSet<HTMLInputElement>} */
const typing = new WeakSet();

/**
 * The colour everywhere the page shows it, and beside the INI's report the file's colour where it differs. A
 * field being typed into keeps what is typed until it is left or Enter is pressed; every other field, wherever
 * the focus is, shows the colour.
 * @param {ColourChoice} choice
 */
function show(choice) {
  const { colour } = choice;
  for (const name of Colour.CHANNELS) {
    for (const input of inputs(name)) {
      if (input instanceof HTMLInputElement && !typing.has(input)) input.value = String(colour[name]);
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
  const offer = Choice.offer(choice);
  byId("ini-colour-offer", HTMLElement).hidden = offer === null;
  setText("ini-file-colour", offer ?? "");
}

/**
 * A slider moves the colour at once; a field is read as the plug-in reads
 * the INI, once left or on Enter, and then shows the number the plug-in would use.
 * @param {(values: Partial<ColourValues>) => void} setColour
 */
function takeValues(setColour) {
  for (const name of Colour.CHANNELS) {
    for (const input of inputs(name)) {
      if (!(input instanceof HTMLInputElement)) continue;
      if (input.type === "range") {
        input.addEventListener("input", () => setColour({ [name]: Number(input.value) }));
        continue;
      }
      input.addEventListener("input", () => typing.add(input));
      // Nothing typed since the field last showed the colour: nothing to take.
      const take = () => {
        if (typing.delete(input)) setColour({ [name]: Colour.readTyped(name, input.value) });
      };
      input.addEventListener("blur", take);
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

// The heading's words after the file's name: the file as given, or as the page saved or downloaded it.
const AS = { given: "", saved: ", as saved", downloaded: ", as downloaded, once it is in place" };
/** @typedef {keyof typeof AS} As */

/**
 * What was read of an INI file, and the settings that the plug-in would take.
 * @param {string} fileName
 * @param {IniFile.Read} result
 * @param {As} as
 */
function report(fileName, result, as) {
  byId("ini-report", HTMLElement).hidden = false;
  setText("ini-name", fileName);
  setText("ini-as", AS[as]);
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
 * file input opens that one. A dropped file's report is brought into view,
 * and the focus with it, so that a screen reader says it.
 * @param {() => ColourValues} colour
 * @param {(file: ColourValues | null) => void} fileGiven the colour of each file given, null for one that is no INI
 */
function takeIniFiles(colour, fileGiven) {
  let reading = 0; // the newest read: an older one that ends later is dropped
  /** @param {File} file @param {FileSystemFileHandle | null} handle @param {As} as @returns {Promise<boolean>} */
  const readIni = async (file, handle = null, as = "given") => {
    const mine = ++reading;
    const { bytes, read } = await IniFile.readIni(file);
    if (mine !== reading) return false;
    report(file.name, read, as);
    fileGiven(read.ini ? Colour.fromSettings(read.settings) : null);
    given({ name: file.name, bytes, ini: read.ini, handle });
    return true;
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
  document.addEventListener("drop", async (event) => {
    event.preventDefault();
    const file = event.dataTransfer?.files[0];
    if (!file || file.name.toLowerCase().endsWith(".log") || !(await readIni(file))) return;
    byId("ini-report", HTMLElement).scrollIntoView({ block: "start" });
    byId("ini-heading", HTMLElement).focus({ preventScroll: true });
  });
}
