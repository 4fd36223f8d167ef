// The events list's pages over generated list lengths, most of them near a
// page's edge: each page a hundred events but the last, in order, so that
// every event shows on exactly one page.
import assert from "node:assert/strict";
import { test } from "node:test";
import { EVENTS_PAGE, pageCount, pageRange, pageWithin } from "../../page/eventpages.js";

let state = Number(process.env.CRIMSEL_SEED || 20261208);
/** @param {number} n */
const below = (n) => Math.floor(((state = (Math.imul(state, 1664525) + 1013904223) >>> 0) / 2 ** 32) * n);

test("the pages of the events list hold each event once, a hundred a page", () => {
  for (let i = 0; i < 1000; i++) {
    const length = Math.max(0, below(60) * EVENTS_PAGE + below(5) - 2);
    const pages = Array.from({ length: pageCount(length) }, (_, page) => pageRange(page, length));
    const shown = pages.flatMap(({ from, to }) => Array.from({ length: to - from }, (_, k) => from + k));
    assert.deepEqual(shown, [...Array(length).keys()], `${length} events: each on one page, in order`);
    const sizes = pages.map(({ from, to }) => to - from);
    const last = sizes[sizes.length - 1];
    assert.ok(sizes.slice(0, -1).every((size) => size === EVENTS_PAGE) && last <= EVENTS_PAGE &&
      (length === 0 ? sizes.length === 1 : last > 0), `${length} events: pages of ${sizes}`);
    // A turn past either end stays on the list's pages.
    const asked = below(pages.length + 6) - 3;
    const turned = pageWithin(asked, length);
    assert.ok(turned >= 0 && turned < pages.length && (asked !== turned) === (asked < 0 || asked >= pages.length),
      `page ${asked} of ${pages.length}: ${turned}`);
  }
});
