// A long list shown a page at a time: how many pages it takes, the page
// nearest to one asked for, and the positions a page shows. No DOM, so that
// Node can import it.

/**
 * The paging of lists of this many entries a page.
 * @param {number} size
 */
export function paging(size) {
  /**
   * How many pages a list of this length takes: one even when empty.
   * @param {number} length
   * @returns {number}
   */
  const count = (length) => Math.max(1, Math.ceil(length / size));
  return {
    count,
    /**
     * The page nearest to the one asked for that the list has.
     * @param {number} page
     * @param {number} length
     * @returns {number}
     */
    within: (page, length) => Math.max(0, Math.min(count(length) - 1, page)),
    /**
     * The positions in the list that a page shows, from inclusive, to exclusive.
     * @param {number} page
     * @param {number} length
     * @returns {{ from: number, to: number }}
     */
    range: (page, length) => ({ from: page * size, to: Math.min(length, (page + 1) * size) }),
  };
}
