// The execution decals' pages over generated counts, most of them near a
// page's edge: every decal on exactly one page, in order, and the words beside
// each page name the decals that it shows, never a page of none.
import assert from "node:assert/strict";
import { test } from "node:test";
import { seeded } from "./Seeded.mjs";
import { EXECUTIONS_PAGE, executionsShown, pageCount, pageRange } from "../../page/executionpages.js";

const { below } = seeded();
/** @param {string} words */
const numbers = (words) => (words.match(/\d[\d,]*/g) ?? []).map((n) => Number(n.replaceAll(",", "")));

test("each decal on one page, and each page's words name the decals it shows", () => {
  for (let i = 0; i < 1000; i++) {
    const length = Math.max(1, below(250) * EXECUTIONS_PAGE + below(5) - 2);
    const pages = Array.from({ length: pageCount(length) }, (_, page) => pageRange(page, length));
    const edges = pages.flatMap(({ from, to }) => [from, to]);
    assert.deepEqual(edges, [0, ...pages.slice(1).flatMap(({ from }) => [from, from]), length],
      `${length} decals: each page begins where the one before ends`);
    pages.forEach(({ from, to }, page) => {
      assert.ok(to > from && to - from <= EXECUTIONS_PAGE, `${length} decals, page ${page + 1}: ${from} to ${to}`);
      const words = executionsShown({ from, to }, page, length);
      // The first and last decal shown by their numbers, of all, on which page of how many; or, on one page, all.
      const said = pages.length === 1 ? [length] : [from + 1, to, length, page + 1, pages.length];
      assert.deepEqual(numbers(words), said, `${length} decals, page ${page + 1}: "${words}"`);
    });
  }
});
