// The owners' legend over generated views: the owners in view come in any
// order and with ties; the legend lists those with the most cells, most first,
// and the highlighted owner wherever it ranks.
import assert from "node:assert/strict";
import { test } from "node:test";
import { seeded } from "./Seeded.mjs";
import { LEGEND_OWNERS, legendOwners } from "../../page/ownerranking.js";

const { below } = seeded();

test("the legend lists the owners with the most cells in view first, and the highlighted one", () => {
  for (let i = 0; i < 2000; i++) {
    const owners = below(40);
    const few = below(2) === 0; // few cells each: many ties
    const inView = [...Array(owners).keys()].filter(() => below(4) > 0)
      .map(/** @returns {[number, number]} */ (index) => [index, 1 + below(few ? 4 : 1000)]);
    for (let j = inView.length - 1; j > 0; j--) {
      const k = below(j + 1);
      [inView[j], inView[k]] = [inView[k], inView[j]];
    }
    const highlighted = below(owners + 1) - 1;
    const listed = legendOwners(inView, highlighted);
    const cells = new Map(inView);
    const top = listed.slice(0, Math.min(LEGEND_OWNERS, inView.length)).map((index) => cells.get(index) ?? -1);
    const said = `${JSON.stringify(inView)}, highlighted ${highlighted}: ${listed}`;
    assert.ok(top.every((n, k) => n >= 0 && (k === 0 || n <= top[k - 1])), `most cells first: ${said}`);
    const least = Math.min(...top);
    assert.ok(inView.every(([index, n]) => listed.includes(index) || n <= least), `none with more left out: ${said}`);
    // At most the limit, then the highlighted owner if it is not among them.
    const rest = highlighted >= 0 && !listed.slice(0, top.length).includes(highlighted) ? [highlighted] : [];
    assert.deepEqual(listed.slice(top.length), rest, `the highlighted one, last: ${said}`);
    assert.equal(new Set(listed).size, listed.length, said);
  }
});
