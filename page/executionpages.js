// The execution decals of a log without blocks, a page at a time: which of
// them a page shows, and the words that say so. No DOM, so that Node can
// import it.

import { count, some } from "./logwords.js";
import { paging } from "./paging.js";

export const EXECUTIONS_PAGE = 200;

export const { count: pageCount, within: pageWithin, range: pageRange } = paging(EXECUTIONS_PAGE);

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
