// The page's controls: the four colour values (sliders, fields, presets, a
// link's query, the player's INI file), the previews they draw and the lines to
// paste. Text from a file or a link is only ever set as text.

import * as PreviewDrawing from "./drawing.js";
import * as BlendModel from "./model.js";
import * as IniReading from "./reading.js";

export function startColourPart() {
  const CHANNELS = ["Red", "Green", "Blue", "Alpha"];
  const FALLBACKS = { Red: 224, Green: 224, Blue: 224, Alpha: 255 };
  const colour = { ...FALLBACKS };

  const inputs = (name) => document.querySelectorAll(`input[name="${name}"]`);

  // A field being typed into keeps what is typed until it is left or Enter is pressed.
  function show() {
    for (const name of CHANNELS) {
      for (const input of inputs(name)) {
        if (input.type === "range" || input !== document.activeElement) input.value = String(colour[name]);
      }
    }
    const rgba = { r: colour.Red, g: colour.Green, b: colour.Blue, a: colour.Alpha };
    const opacity = colour.Alpha === 255 ? "opaque" : colour.Alpha === 0 ? "fully clear"
      : `${Math.round((colour.Alpha / 255) * 100)} % opaque`;
    document.getElementById("colour-words").textContent = `Red ${colour.Red}, Green ${colour.Green}, Blue ` +
      `${colour.Blue}, Alpha ${colour.Alpha} (${opacity})`;
    // Over a chequer, so that a clear colour shows as clear.
    document.getElementById("colour-swatch").style.boxShadow =
      `inset 0 0 0 2rem rgba(${colour.Red}, ${colour.Green}, ${colour.Blue}, ${colour.Alpha / 255})`;
    document.getElementById("blend-words").textContent = colour.Alpha === 255
      ? "At Alpha 255 both blend alike: the decal shows its colour as it is. Dark, solid blood: keep the colour " +
        "low and Alpha at 255."
      : `At Alpha ${colour.Alpha} the game adds the whole colour on top of what lies below, of which it keeps ` +
        `${Math.round(((255 - colour.Alpha) / 255) * 100)} %: the decal comes out lighter than with the usual ` +
        "blending, and bright colours wash out towards white. Dark, solid blood: keep the colour low and Alpha at 255.";
    PreviewDrawing.drawPreview(document.querySelector('figure[data-blend="patched"]'), rgba, BlendModel.PATCHED);
    PreviewDrawing.drawPreview(document.querySelector('figure[data-blend="usual"]'), rgba, BlendModel.USUAL);
    document.getElementById("colour-lines").value = CHANNELS.map((name) => `${name}=${colour[name]}`).join("\n");
    const query = new URLSearchParams(CHANNELS.map((name) => [name, String(colour[name])]));
    document.getElementById("colour-link").href = `?${query}`;
  }

  function setColour(values) {
    for (const name of CHANNELS) {
      if (values[name] !== undefined) colour[name] = values[name];
    }
    show();
  }

  // A slider moves the colour at once; a field is read as the plug-in reads
  // the INI (0x80 is 128, 1e2 is 1, text the default), once left or on Enter,
  // and then shows the number the plug-in would use.
  for (const name of CHANNELS) {
    for (const input of inputs(name)) {
      if (input.type === "range") {
        input.addEventListener("input", () => setColour({ [name]: Number(input.value) }));
        continue;
      }
      const take = () => {
        setColour({ [name]: IniReading.readByteText(input.value.trim(), FALLBACKS[name]) });
        input.value = String(colour[name]);
      };
      input.addEventListener("change", take);
      input.addEventListener("keydown", (event) => {
        if (event.key === "Enter") take();
      });
    }
  }

  for (const button of document.querySelectorAll("button[data-preset]")) {
    button.addEventListener("click", () => {
      const [Red, Green, Blue, Alpha] = button.dataset.preset.split(",").map(Number);
      setColour({ Red, Green, Blue, Alpha });
    });
  }

  // Words beside a control, said to a screen reader too, gone after a while.
  const say = (where, text) => {
    where.textContent = text;
    clearTimeout(where.clearing);
    where.clearing = setTimeout(() => {
      where.textContent = "";
    }, 4000);
  };

  for (const button of document.querySelectorAll("button[data-copy]")) {
    button.addEventListener("click", async () => {
      const area = document.getElementById(button.dataset.copy);
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

  // The link changes the address in place: what was read stays on the page.
  document.getElementById("colour-link").addEventListener("click", (event) => {
    event.preventDefault();
    window.history.replaceState(null, "", event.currentTarget.getAttribute("href"));
    say(document.getElementById("link-said"), "The address now carries this colour: bookmark or share it.");
  });

  // A link's query names the values as the INI does (case is ignored, the
  // first of two wins) and is read by the INI's rules, so Red=0x80 gives 128.
  function colourFromQuery(search) {
    const values = {};
    for (const [key, text] of new URLSearchParams(search)) {
      const name = CHANNELS.find((channel) => channel.toLowerCase() === key.trim().toLowerCase());
      if (name && values[name] === undefined) values[name] = IniReading.readByteText(text.trim(), FALLBACKS[name]);
    }
    return values;
  }

  function report(fileName, result) {
    document.getElementById("ini-report").hidden = false;
    document.getElementById("ini-name").textContent = fileName;
    const notes = document.getElementById("ini-notes");
    notes.replaceChildren(...result.notes.map((note) => {
      const item = document.createElement("li");
      item.className = note.kind;
      item.textContent = note.text;
      return item;
    }));
    const rows = result.settings.map((setting) => {
      const row = document.createElement("tr");
      row.dataset.key = setting.key;
      const taken = setting.kind === "switch" ? `${setting.value} (${setting.value ? "on" : "off"})` : String(setting.value);
      const from = setting.entry ? `line ${setting.entry.line}: ${setting.entry.text.trim()}` : "not found: its default";
      for (const text of [setting.key, `[${setting.section}]`, taken, from]) {
        const cell = document.createElement("td");
        cell.textContent = text;
        row.append(cell);
      }
      return row;
    });
    document.querySelector("#ini-settings tbody").replaceChildren(...rows);
    document.getElementById("ini-settings").hidden = !result.ini;
  }

  async function readIni(file) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    const result = IniReading.readSettings(bytes);
    report(file.name, result);
    // A file that is not an INI leaves the colour that was chosen.
    if (!result.ini) return;
    const value = (key) => result.settings.find((setting) => setting.key === key).value;
    setColour(Object.fromEntries(CHANNELS.map((name) => [name, value(name)])));
  }

  const fileInput = document.getElementById("ini-file");
  fileInput.addEventListener("change", () => {
    if (fileInput.files.length > 0) readIni(fileInput.files[0]);
  });
  document.addEventListener("dragover", (event) => event.preventDefault());
  // A dropped log goes to the log part; anything else is taken as the INI.
  document.addEventListener("drop", (event) => {
    event.preventDefault();
    const file = event.dataTransfer.files[0];
    if (file && !file.name.toLowerCase().endsWith(".log")) readIni(file);
  });

  setColour(colourFromQuery(window.location.search));
}
