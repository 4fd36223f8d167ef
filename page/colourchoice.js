// Whose colour the page shows: the player's, once chosen, or that of the INI
// file given. A player who chose a colour and then gives a file keeps the
// colour chosen, and is told what the file holds and offered it; before any
// choice, a file's colour is taken as it comes. A link's query that names a
// value counts as a choice: whoever sent the link chose that colour. No DOM,
// so that Node can import it.

import * as Colour from "./colour.js";

/** @typedef {import("./colour.js").Colour} ColourValues */
/**
 * The colour shown, whether the player chose it, and the colour of the INI file last given, if it was one.
 * @typedef {{ colour: ColourValues, chosen: boolean, file: ColourValues | null }} Choice
 */

/**
 * The page as it opens at this address.
 * @param {string} search
 * @returns {Choice}
 */
export function start(search) {
  const queried = Colour.fromQuery(search);
  return { colour: Colour.withValues(Colour.FALLBACKS, queried), chosen: Object.keys(queried).length > 0, file: null };
}

/**
 * The player set some of the values.
 * @param {Choice} choice
 * @param {Partial<ColourValues>} values
 * @returns {Choice}
 */
export const choose = (choice, values) =>
  ({ ...choice, colour: Colour.withValues(choice.colour, values), chosen: true });

/**
 * A file was given: its colour if it is an INI, else null. Its colour is shown unless the player chose one.
 * @param {Choice} choice
 * @param {ColourValues | null} file
 * @returns {Choice}
 */
export function fileGiven(choice, file) {
  if (!file || choice.chosen) return { ...choice, file };
  return { colour: file, chosen: false, file };
}

/**
 * The player took the file's colour: as if it had come before any choice, so that the next file's is taken too.
 * @param {Choice} choice
 * @returns {Choice}
 */
export const takeFile = (choice) => (choice.file ? { colour: choice.file, chosen: false, file: choice.file } : choice);

/** @param {ColourValues} a @param {ColourValues} b */
const same = (a, b) => Colour.CHANNELS.every((name) => a[name] === b[name]);

/**
 * What the page says beside the file's report where the file holds another colour than the one shown, or null.
 * @param {Choice} choice
 * @returns {string | null}
 */
export function offer({ colour, file }) {
  if (!file || same(colour, file)) return null;
  return `This file holds another colour: ${Colour.words(file)}. The page keeps the colour you chose above, ` +
    `${Colour.words(colour)}, and "Put this colour into my settings file" puts yours into the file.`;
}
