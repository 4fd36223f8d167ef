// Which events the events list holds and how it falls into pages. No DOM, so
// that Node can import it.

import * as LogModel from "./logmodel.js";

export const EVENTS_PAGE = 100;

/**
 * The events listed: all of them (map -1), or those of one map, which the
 * changes of the counts are not.
 * @param {import("./logmodel.js").Events} events
 * @param {number} map
 * @returns {Uint32Array} the events' indices, in the log's order
 */
export function eventsOf(events, map) {
  const listed = new Uint32Array(events.length);
  let length = 0;
  for (let e = 0; e < events.length; e++) {
    const kind = events.kind[e];
    const ofMap = kind !== LogModel.MAP_COUNT && kind !== LogModel.RENDERED_COUNT && events.map[e] === map;
    if (map < 0 || ofMap) listed[length++] = e;
  }
  return listed.subarray(0, length);
}

/**
 * How many pages a list of this length takes: one even when empty.
 * @param {number} length
 * @returns {number}
 */
export const pageCount = (length) => Math.max(1, Math.ceil(length / EVENTS_PAGE));

/**
 * The page nearest to the one asked for that the list has.
 * @param {number} page
 * @param {number} length
 * @returns {number}
 */
export const pageWithin = (page, length) => Math.max(0, Math.min(pageCount(length) - 1, page));

/**
 * The positions in the list that a page shows, from inclusive, to exclusive.
 * @param {number} page
 * @param {number} length
 * @returns {{ from: number, to: number }}
 */
export function pageRange(page, length) {
  const from = page * EVENTS_PAGE;
  return { from, to: Math.min(length, from + EVENTS_PAGE) };
}
