// What the log part says of a reading itself: the share read as it goes, a
// reading stopped, and a file of which only the start was read. No DOM, so
// that Node can import it.

import { count } from "./logwords.js";

const MB = 2 ** 20;

/**
 * Beside the progress bar.
 * @param {string} name the file's
 * @param {number} fraction the share read, 0 to 1
 * @returns {string}
 */
export const readingWords = (name, fraction) => `Reading ${name}: ${Math.floor(fraction * 100)} %`;

/**
 * Once its reading was stopped.
 * @param {string} name
 * @returns {string}
 */
export const stoppedWords = (name) => `Reading ${name} was stopped: nothing of it is shown. Choose or drop it ` +
  "again to read it.";

/**
 * A file of which only the start was read, since that showed it is no log.
 * @param {number} readTo the bytes read
 * @param {number} size the file's
 * @returns {string}
 */
export const partWords = (readTo, size) => `Only the first ${count(Math.round(readTo / MB))} MB of this ` +
  `${count(Math.round(size / MB))} MB file were read: they hold no line that the plug-in writes, so the rest was ` +
  "left unread.";

/**
 * Beside the button that follows a log: how many blocks it has, and when the page last looked.
 * @param {number} blocks
 * @param {boolean} following
 * @param {number} now the time of the last look, in milliseconds
 * @returns {string}
 */
export const followingWords = (blocks, following, now) => (following
  ? `Followed as the game writes it: ${count(blocks)} ${blocks === 1 ? "block" : "blocks"}, last looked at ` +
    `${new Date(now).toLocaleTimeString()}.`
  : `Not followed: ${count(blocks)} ${blocks === 1 ? "block" : "blocks"} as last read.`);

/**
 * A followed log that began again: the game started again.
 * @param {string} name
 * @returns {string}
 */
export const newLogWords = (name) => `A new ${name} began (the game started again): it is read from its start.`;
