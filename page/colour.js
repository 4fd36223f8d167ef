// The colour of the page: its four values as the INI names them, read as the
// plug-in reads the INI, and what the page says and gives of it: its words, the
// lines to paste and a link's query. No DOM, so that Node can import it.

import * as IniReading from "./reading.js";

/** @typedef {"Red" | "Green" | "Blue" | "Alpha"} Channel */
/** @typedef {Record<Channel, number>} Colour */

/** @type {readonly Channel[]} */
export const CHANNELS = Object.freeze(["Red", "Green", "Blue", "Alpha"]);

/** The plug-in's own values, which text that is no number gives. @type {Readonly<Colour>} */
export const FALLBACKS = Object.freeze({ Red: 224, Green: 224, Blue: 224, Alpha: 255 });

/**
 * A colour with some of its values changed.
 * @param {Colour} colour
 * @param {Partial<Colour>} values
 * @returns {Colour}
 */
export function withValues(colour, values) {
  const changed = { ...colour };
  for (const name of CHANNELS) changed[name] = values[name] ?? colour[name];
  return changed;
}

/**
 * A value as a player typed it, read as the plug-in reads the INI: 0x80 is
 * 128, 1e2 is 1, text is the plug-in's own value.
 * @param {Channel} name
 * @param {string} text
 * @returns {number}
 */
export const readTyped = (name, text) => IniReading.readByteText(text.trim(), FALLBACKS[name]);

/**
 * The values that a link's query names as the INI does (case is ignored, the
 * first of two wins), read by the INI's rules, so that Red=0x80 gives 128.
 * @param {string} search
 * @returns {Partial<Colour>}
 */
export function fromQuery(search) {
  /** @type {Partial<Colour>} */
  const values = {};
  for (const [key, text] of new URLSearchParams(search)) {
    const name = CHANNELS.find((channel) => channel.toLowerCase() === key.trim().toLowerCase());
    if (name && values[name] === undefined) values[name] = readTyped(name, text);
  }
  return values;
}

/**
 * The colour that an INI's settings give.
 * @param {import("./reading.js").Setting[]} settings what reading.js's readSettings gives
 * @returns {Colour}
 */
export function fromSettings(settings) {
  const changed = { ...FALLBACKS };
  for (const name of CHANNELS) {
    const setting = settings.find(({ key }) => key === name);
    if (setting) changed[name] = Number(setting.value);
  }
  return changed;
}

/**
 * @param {Colour} colour
 * @returns {string}
 */
export function words(colour) {
  const opacity = colour.Alpha === 255 ? "opaque" : colour.Alpha === 0 ? "fully clear"
    : `${Math.round((colour.Alpha / 255) * 100)} % opaque`;
  return `Red ${colour.Red}, Green ${colour.Green}, Blue ${colour.Blue}, Alpha ${colour.Alpha} (${opacity})`;
}

/**
 * How the game blends the colour, and what to do for dark, solid blood.
 * @param {Colour} colour
 * @returns {string}
 */
export function blendWords(colour) {
  return colour.Alpha === 255
    ? "At Alpha 255 both blend alike: the decal shows its colour as it is. Dark, solid blood: keep the colour " +
      "low and Alpha at 255."
    : `At Alpha ${colour.Alpha} the game adds the whole colour on top of what lies below, of which it keeps ` +
      `${Math.round(((255 - colour.Alpha) / 255) * 100)} %: the decal comes out lighter than with the usual ` +
      "blending, and bright colours wash out towards white. Dark, solid blood: keep the colour low and Alpha at 255.";
}

/**
 * The colour over a chequer, as a shadow that fills the swatch, so that a clear colour shows as clear.
 * @param {Colour} colour
 * @returns {string}
 */
export const swatchShadow = (colour) =>
  `inset 0 0 0 2rem rgba(${colour.Red}, ${colour.Green}, ${colour.Blue}, ${colour.Alpha / 255})`;

/**
 * The colour as the blend model takes it.
 * @param {Colour} colour
 * @returns {{ r: number, g: number, b: number, a: number }}
 */
export const rgba = (colour) => ({ r: colour.Red, g: colour.Green, b: colour.Blue, a: colour.Alpha });

/**
 * The lines to paste under [BloodDecal].
 * @param {Colour} colour
 * @returns {string}
 */
export const pasteLines = (colour) => CHANNELS.map((name) => `${name}=${colour[name]}`).join("\n");

/**
 * A link's query that carries the colour.
 * @param {Colour} colour
 * @returns {string}
 */
export const linkQuery = (colour) => `?${new URLSearchParams(CHANNELS.map((name) => [name, String(colour[name])]))}`;
