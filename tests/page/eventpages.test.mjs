// The events list's pages over generated list lengths, most of them near a
// page's edge: each page a hundred events but the last, in order, so that
// every event shows on exactly one page.
import assert from "node:assert/strict";
import { test } from "node:test";
import { seeded } from "./Seeded.mjs";
import { EVENTS_PAGE, pageCount, pageRange, pageWithin } from "../../page/eventpages.js";
import { eventsShown } from "../../page/logwords.js";

const { below } = seeded();

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

// What the words under the list say, page by page, of lists of every mix of events, execution decals and blocks
// cut off: the first and last entry of each page, counted from 1, cover every entry once over all pages; and
// what the list holds, each kind named with its own count (none named when there are none), whose sum is the total.
test("the words of the pages name their first and last entries, and what the list holds, kind by kind", () => {
  const number = (/** @type {string} */ n) => Number(n.replaceAll(",", ""));
  for (let i = 0; i < 1000; i++) {
    const kinds = [0, 1, 2].map(() => [0, 1, below(3) * EVENTS_PAGE + below(5), below(40000)][below(4)]);
    const total = kinds.reduce((sum, n) => sum + n, 0);
    const map = below(3) ? -1 : below(64);
    let shown = 0;
    for (let page = 0; page < pageCount(total); page++) {
      const words = eventsShown(pageRange(page, total), page, pageCount(total), kinds, map);
      const named = [...words.matchAll(/([\d,]+) (event|execution decal|block)(s?)( cut off)?/g)];
      const said = ["event", "execution decal", "block"].map((noun) => number(named.find((n) => n[2] === noun)?.[1] ?? "0"));
      assert.deepEqual(said, kinds, words);
      assert.ok(named.every(([, n, , s]) => (s === "") === (n === "1")), words);
      const [, first, last, of] = /^Entries ([\d,]+) to ([\d,]+) of ([\d,]+)/.exec(words) ?? ["", "1", String(total), String(total)];
      assert.deepEqual([number(first), number(of)], [shown + 1, total], words);
      shown = number(last);
    }
    assert.equal(shown, total);
  }
});
