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

  function show() {
    for (const name of CHANNELS) {
      for (const input of inputs(name)) {
        if (input !== document.activeElement || Number(input.value) !== colour[name]) input.value = String(colour[name]);
      }
    }
    const rgba = { r: colour.Red, g: colour.Green, b: colour.Blue, a: colour.Alpha };
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

  // A field's whole number within 0..255; a field being typed into that holds
  // no number yet changes nothing.
  for (const name of CHANNELS) {
    for (const input of inputs(name)) {
      input.addEventListener("input", () => {
        if (input.value.trim() === "" || !Number.isFinite(Number(input.value))) return;
        setColour({ [name]: Math.min(255, Math.max(0, Math.round(Number(input.value)))) });
      });
      input.addEventListener("change", show);
    }
  }

  for (const button of document.querySelectorAll("button[data-preset]")) {
    button.addEventListener("click", () => {
      const [Red, Green, Blue, Alpha] = button.dataset.preset.split(",").map(Number);
      setColour({ Red, Green, Blue, Alpha });
    });
  }

  for (const button of document.querySelectorAll("button[data-copy]")) {
    button.addEventListener("click", () => {
      const area = document.getElementById(button.dataset.copy);
      area.select();
      const copied = navigator.clipboard ? navigator.clipboard.writeText(area.value) : Promise.reject();
      copied.catch(() => document.execCommand("copy"));
    });
  }

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
  }

  async function readIni(file) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    const result = IniReading.readSettings(bytes);
    report(file.name, result);
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
