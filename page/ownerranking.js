// Which owners the timeline's legend lists. No DOM, so that Node can import it.

export const LEGEND_OWNERS = 12;

/**
 * The owners listed: those with the most cells in view first (of as many,
 * the first in the log first), at most `limit` of them, then the highlighted
 * owner if it is not among them, so that it can be chosen again to end it.
 * @param {Array<[number, number]>} inView each owner in view and its cells, in any order
 * @param {number} highlighted an owner's index, or -1
 * @param {number} [limit]
 * @returns {number[]} the owners' indices
 */
export function legendOwners(inView, highlighted, limit = LEGEND_OWNERS) {
  const ranked = [...inView].sort((a, b) => b[1] - a[1] || a[0] - b[0]);
  const listed = ranked.slice(0, limit).map(([index]) => index);
  if (highlighted >= 0 && !listed.includes(highlighted)) listed.push(highlighted);
  return listed;
}
