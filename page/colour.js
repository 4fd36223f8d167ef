// The colour of the page: its four values as the INI names them, read as the
// plug-in reads the INI, and what the page says and gives of it: its words, the
// lines to paste and a link's query. No DOM, so that Node can import it.

import * as BlendModel from "./model.js";
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
 * A share in whole per cent, never 0 or 100 for a share that is neither none nor all.
 * @param {number} part
 * @param {number} whole
 * @returns {number}
 */
const percent = (part, whole) => (part === 0 || part === whole ? (100 * part) / whole
  : Math.min(99, Math.max(1, Math.round((100 * part) / whole))));

/**
 * @param {Colour} colour
 * @returns {string}
 */
export function words(colour) {
  const opacity = colour.Alpha === 255 ? "opaque" : colour.Alpha === 0 ? "fully clear"
    : `${percent(colour.Alpha, 255)} % opaque`;
  return `Red ${colour.Red}, Green ${colour.Green}, Blue ${colour.Blue}, Alpha ${colour.Alpha} (${opacity})`;
}

/**
 * How the game blends the colour with the patch, against the usual blending, and advice where this colour
 * calls for it: a translucent colour is added over what lies below, so it lightens it, and a bright one washes
 * out towards white.
 * @param {Colour} colour
 * @returns {string}
 */
export function blendWords(colour) {
  if (colour.Alpha === 255) return "At Alpha 255 both blend alike: the decal shows its colour as it is.";
  const kept = `${percent(255 - colour.Alpha, 255)} %`;
  if (colour.Red + colour.Green + colour.Blue === 0) {
    return `At Alpha ${colour.Alpha} black blends alike both ways: it keeps ${kept} of what lies below and ` +
      "darkens the rest.";
  }
  const bright = Math.max(colour.Red, colour.Green, colour.Blue) >= 128;
  return `At Alpha ${colour.Alpha} the game adds the whole colour on top of what lies below, of which it keeps ` +
    `${kept}: the decal comes out lighter than with the usual blending` +
    (bright ? ", and this bright colour washes out towards white over light skin. For a decal that keeps its " +
      "colour, lower the colour or raise Alpha towards 255." : ". For a decal that covers what lies below, raise " +
      "Alpha towards 255.");
}

// The swatch's two backgrounds, opaque ARGB: where the patch's blend shows the colour itself, and where a
// translucent colour washes out most.
const SWATCH_BACKGROUNDS = [0xff000000, 0xffffffff];

/**
 * What the swatch shows over each of its two backgrounds: the colour as the patch blends it there.
 * @param {Colour} colour
 * @returns {{ over: number, shows: import("./model.js").Rgba }[]}
 */
export const swatchColours = (colour) => SWATCH_BACKGROUNDS.map((over) =>
  ({ over, shows: BlendModel.blend(BlendModel.TEXEL_INSIDE, rgba(colour), over, BlendModel.PATCHED) }));

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
