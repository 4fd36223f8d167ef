// The execution decals of a log without blocks, a page at a time: which of
// them a page shows, and the words that say so. No DOM, so that Node can
// import it.

import { count, some } from "./logwords.js";

export const EXECUTIONS_PAGE = 200;

/**
 * How many pages the decals take: one even when there are none.
 * @param {number} length
 * @returns {number}
 */
export const pageCount = (length) => Math.max(1, Math.ceil(length / EXECUTIONS_PAGE));

/**
 * The page nearest to the one asked for that the decals have.
 * @param {number} page
 * @param {number} length
 * @returns {number}
 */
export const pageWithin = (page, length) => Math.max(0, Math.min(pageCount(length) - 1, page));

/**
 * The decals that a page shows, from inclusive, to exclusive.
 * @param {number} page
 * @param {number} length
 * @returns {{ from: number, to: number }}
 */
export function pageRange(page, length) {
  const from = page * EXECUTIONS_PAGE;
  return { from, to: Math.min(length, from + EXECUTIONS_PAGE) };
}

/**
 * Beside the list: which decals it shows, and on which page.
 * @param {{ from: number, to: number }} shown the page's range
 * @param {number} page
 * @param {number} total
 * @returns {string}
 */
export function executionsShown({ from, to }, page, total) {
  const pages = pageCount(total);
  if (pages === 1) return `${some(total, "execution decal")}.`;
  return `Execution decals ${count(from + 1)} to ${count(to)} of ${count(total)}, page ${count(page + 1)} of ` +
    `${count(pages)}.`;
}
