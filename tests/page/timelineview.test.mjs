// The timeline's view over generated logs and views, from the whole log in a
// narrow window to the widest column: its units cover each block in view once,
// a click finds a block of the unit it lands in, zooming keeps the block under
// the pointer, no key takes the cursor off the log or out of view, + never
// shows more blocks nor - fewer, and the pages move by a screen.
import assert from "node:assert/strict";
import { test } from "node:test";
import { seeded } from "./Seeded.mjs";
import * as View from "../../page/timelineview.js";


/**
 * Views of logs of 1 to 30,000 blocks on drawings 320 to 2,500 pixels wide, at any width and scroll.
 * @param {number} seed @param {number} count
 * @returns {Array<{ view: View.View, size: View.Size, next: () => number }>}
 */
function views(seed, count) {
  const { next } = seeded(seed);
  return Array.from({ length: count }, (_, i) => {
    const blocks = i % 5 === 0 ? 1 : Math.ceil(30000 ** next());
    const size = { pixels: 320 + Math.floor(next() * 2180), blocks, rows: 1 + Math.floor(next() * 64) };
    const width = View.fit(size) * (View.MAX_COLUMN / View.fit(size)) ** next();
    const view = View.clamp({ ...View.initial(size), width, first: next() * blocks }, size);
    return { view, size, next };
  });
}

/** @param {View.View} view @param {View.Size} size */
function units(view, size) {
  /** @type {Array<{ from: number, to: number, left: number, right: number }>} */
  const found = [];
  View.forEachUnit(view, size, (from, to, left, right) => found.push({ from, to, left, right }));
  return found;
}

/** @param {View.View} view @param {View.Size} size */
function assertClamped(view, size) {
  assert.ok(view.width >= View.fit(size) && view.width <= View.MAX_COLUMN, `width ${view.width}`);
  assert.ok(view.first >= 0 && view.first <= Math.max(0, size.blocks - View.shown(view, size)), `first ${view.first}`);
}

test("the units in view cover each block in view once, in order, none narrower than 2 px but at the plot's edges", () => {
  for (const { view, size } of views(1, 400)) {
    const all = units(view, size);
    const gap = view.width >= 4 ? 1 : 0;
    const what = `${size.blocks} blocks, ${size.pixels} px, width ${view.width}, first ${view.first}`;
    assertClamped(view, size);
    assert.equal(all[0].from, Math.floor(view.first), what);
    all.forEach((unit, i) => {
      assert.ok(unit.from < unit.to && unit.left >= View.LEFT && unit.right <= size.pixels, what);
      if (i > 0) {
        assert.equal(unit.from, all[i - 1].to, `${what}: unit ${i} follows on`);
        assert.equal(unit.left, Math.max(View.LEFT, all[i - 1].right + gap), `${what}: unit ${i} where the last ends`);
      }
      const cut = (i === 0 && view.first % 1 !== 0) || unit.right === size.pixels;
      assert.ok(cut || unit.right - unit.left >= View.UNIT, `${what}: unit ${i} ${unit.right - unit.left} px wide`);
      // The unit that holds a block, where frames go, is where it is drawn.
      const [left, right] = View.unitOf(view, unit.from);
      if (unit.from >= view.first) assert.equal(Math.max(View.LEFT, left), unit.left, what);
      if (view.width >= View.UNIT) assert.equal(Math.min(size.pixels, right - gap), unit.right, what);
    });
    const last = all.at(-1);
    assert.ok(last && (last.to === size.blocks || last.right + gap >= size.pixels), `${what}: the plot filled`);
  }
});

test("a click anywhere in a unit finds its first block with a mark in that row, or a marked block whose glyph reaches it", () => {
  for (const { view, size, next } of views(2, 200)) {
    const cells = { firstCell: new Uint32Array(size.blocks), expected: new Uint8Array(size.blocks),
      present: new Uint8Array(size.blocks * size.rows), flags: new Uint8Array(size.blocks * size.rows),
      changed: new Uint8Array(size.blocks * size.rows), marks: new Uint8Array(size.blocks + 1) };
    const sparse = next() / 10; // few marks, so that units of several blocks hold some and not others
    for (let block = 0; block < size.blocks; block++) {
      cells.firstCell[block] = block * size.rows;
      cells.expected[block] = Math.floor(next() * (size.rows + 1));
    }
    for (let cell = 0; cell < cells.present.length; cell++) {
      cells.present[cell] = next() < 0.9 ? 1 : 0;
      cells.flags[cell] = next() < sparse ? 1 << Math.floor(next() * 4) : 0;
      cells.changed[cell] = next() < sparse ? 1 : 0;
    }
    const marked = (/** @type {number} */ block, /** @type {number} */ map) => {
      const cell = cells.firstCell[block] + map;
      return map < cells.expected[block] && cells.present[cell] && (cells.flags[cell] & 7 || cells.changed[cell]);
    };
    const gap = view.width >= 4 ? 1 : 0;
    for (const { from, to, left, right } of units(view, size).filter((unit) => unit.right > unit.left)) {
      const x = left + Math.floor(next() * (right + gap - left));
      const map = Math.floor(next() * size.rows);
      const own = [...Array(to - from).keys()].map((i) => from + i).find((block) => marked(block, map));
      const found = View.blockAt(view, size, x, map, cells);
      const what = `x ${x} in [${left}, ${right}), blocks [${from}, ${to}), found ${found}`;
      if (own !== undefined) assert.equal(found, own, what);
      else {
        // A glyph is GLYPH pixels at most where its unit is narrower: one reaching x has its unit that near.
        const [near] = View.unitOf(view, found);
        assert.ok(found === from || (marked(found, map) && Math.abs(near - x) <= View.GLYPH), what);
      }
    }
    assert.equal(View.mapAt(View.TOP + size.rows * View.ROW, size), -1, "below the rows");
    assert.equal(View.mapAt(View.TOP - 1, size), -1, "above the rows");
  }
});

test("zooming keeps the block under the pointer where the log's ends allow, and the view inside the log", () => {
  let kept = 0;
  for (const { view, size, next } of views(3, 400)) {
    const atX = View.LEFT + next() * View.plot(size);
    const factor = [0.5, 2, 1.25 ** (8 * next() - 4)][Math.floor(next() * 3)];
    const zoomed = View.zoom(view, size, factor, atX);
    assertClamped(zoomed, size);
    const at = (/** @type {View.View} */ v) => v.first + (atX - View.LEFT) / v.width;
    if (zoomed.first > 0 && zoomed.first < size.blocks - View.shown(zoomed, size)) {
      kept++;
      assert.ok(Math.abs(at(zoomed) - at(view)) < 1e-6, `block ${at(view)} under the pointer, then ${at(zoomed)}`);
    }
    assertClamped(View.scroll(view, size, (next() - 0.5) * 4 * size.pixels), size);
  }
  assert.ok(kept > 100, `${kept} zooms away from the log's ends`);
});

test("no key takes the cursor off the log, and after each the cursor is in view", () => {
  const keys = ["ArrowLeft", "ArrowRight", "ArrowUp", "ArrowDown", "Home", "End", "PageUp", "PageDown", "+", "=", "-"];
  for (const { view: start, size, next } of views(4, 200)) {
    let view = start;
    for (let i = 0; i < 40; i++) {
      const key = keys[Math.floor(next() * keys.length)];
      const pressed = View.press(view, size, key);
      assert.ok(pressed, key);
      view = i % 10 === 9 ? View.focus(pressed.view, size) : pressed.view;
      const { block, map } = view.cursor;
      const what = `${key} in ${size.blocks} blocks and ${size.rows} rows: the cursor on ${block}, ${map}`;
      assert.ok(Number.isInteger(block) && block >= 0 && block < size.blocks, what);
      assert.ok(Number.isInteger(map) && map >= 0 && map < size.rows, what);
      assert.ok(View.inView(view, size, block), `${what}, the view from ${view.first}`);
      assertClamped(view, size);
    }
    assert.equal(View.press(view, size, "a"), null, "a key that is not the timeline's");
  }
});

test("+ and = never show more blocks and - never fewer, each zooming until the widest column or the whole log", () => {
  for (const { view, size } of views(5, 400)) {
    const [wider, same, narrower] = ["+", "=", "-"].map((key) => View.press(view, size, key)?.view ?? assert.fail(key));
    const what = `${size.blocks} blocks, ${size.pixels} px, ${View.shown(view, size)} shown`;
    assert.equal(same.width, wider.width, what);
    assert.ok(View.shown(wider, size) < View.shown(view, size) || view.width === View.MAX_COLUMN, `+: ${what}`);
    assert.ok(View.shown(narrower, size) > View.shown(view, size) || view.width === View.fit(size), `-: ${what}`);
  }
});

test("Page Down and Page Up move the view and the cursor by a screen of whole blocks, up to the log's ends", () => {
  for (const { view: start, size, next } of views(6, 400)) {
    const room = View.shown(start, size);
    const end = Math.max(0, size.blocks - room); // the view's first block at the log's end
    // The cursor anywhere in view as the timeline's focus leaves it, a block that an edge cuts included.
    const view = View.focus({ ...start, cursor: { block: Math.floor(start.first + next() * room), map: 0 } }, size);
    for (const [key, sign] of /** @type {const} */ ([["PageDown", 1], ["PageUp", -1]])) {
      const moved = View.press(view, size, key)?.view ?? assert.fail(key);
      const what = `${key} in ${size.blocks} blocks, ${room} shown from ${view.first}, cursor ${view.cursor.block}`;
      // No block skipped, and none seen again but the one the edge cut; at the ends, the end.
      const ideal = Math.max(0, Math.min(end, view.first + sign * room));
      assert.ok(Math.abs(moved.first - ideal) < 1 + 1e-9 && sign * (ideal - moved.first) >= -1e-9, `${what}: to ${moved.first}`);
      const blocks = Math.floor(room) * sign;
      assert.equal(moved.cursor.block, Math.max(0, Math.min(size.blocks - 1, view.cursor.block + blocks)), what);
    }
  }
});

/**
 * Logs of blocks with one thing in one block, in a row or a strip, and views of them at any zoom with that block
 * in view: the mark as the glyphs name it, and what the view's clicks read.
 * @param {number} seed @param {number} count
 */
function loneMarks(seed, count) {
  return views(seed, count).map(({ view: any, size, next }) => {
    const block = Math.floor(next() * size.blocks);
    const view = View.show(any, size, block);
    const mark = Math.floor(next() * 7);
    const map = Math.floor(next() * size.rows);
    const cells = { firstCell: Uint32Array.from({ length: size.blocks }, (_, b) => b * size.rows),
      expected: new Uint8Array(size.blocks).fill(size.rows), present: new Uint8Array(size.blocks * size.rows).fill(1),
      flags: new Uint8Array(size.blocks * size.rows), changed: new Uint8Array(size.blocks * size.rows),
      marks: new Uint8Array(size.blocks + 1) };
    const cell = block * size.rows + map;
    if (mark === View.CHANGED) cells.changed[cell] = 1;
    else if (mark < View.CUT) cells.flags[cell] = 1 << mark;
    // In the strips the summary's bits: cut off 4, an event 1, an execution decal 2 (after the last block, too).
    else cells.marks[mark === View.EXECUTIONS && block === size.blocks - 1 && next() < 0.5 ? block + 1 : block] =
      [4, 1, 2][mark - View.CUT];
    return { view, size, block, mark, map, cells };
  });
}

/** @param {Array<[number, number, number, number]>} rectangles @param {View.Size} size the pixels they cover */
function covered(rectangles, size) {
  const pixels = new Set();
  for (const [x0, y0, x1, y1] of rectangles) {
    for (let y = Math.max(0, y0); y < Math.min(View.height(size.rows), y1); y++) {
      for (let x = Math.max(View.LEFT, x0); x < Math.min(size.pixels, x1); x++) pixels.add(y * size.pixels + x);
    }
  }
  return pixels;
}

test("a lone mark's glyph covers 12 pixels or more at any zoom, and a click anywhere on it chooses its block", () => {
  for (const { view, size, block, mark, map, cells } of loneMarks(7, 600)) {
    const unit = units(view, size).find(({ from, to }) => block >= from && block < to) ?? assert.fail("in view");
    const span = unit.to - unit.from;
    // Its neighbours hold nothing, so its glyph reaches as far as it may.
    const reached = View.reach(unit.left, unit.right, size.pixels, false, false);
    const glyph = covered(View.glyph(mark, map, 1, span, [unit.left, unit.right], reached), size);
    const name = ["needsClear", "resetAfterRender", "inactive", "an owner change", "a cut-off", "an event", "an execution decal"][mark];
    const what = `${name} of block ${block} at width ${view.width}, unit [${unit.left}, ${unit.right})`;
    assert.ok(glyph.size >= 12, `${what}: ${glyph.size} pixels`);
    for (const pixel of glyph) {
      const [x, y] = [pixel % size.pixels, Math.floor(pixel / size.pixels)];
      const place = mark < View.CUT ? View.mapAt(y, size) : -1 - View.stripAt(y);
      assert.equal(place, mark < View.CUT ? map : -1 - (mark - View.CUT), `${what}: ${x}, ${y} in its row or strip`);
      assert.equal(View.blockAt(view, size, x, place, cells), block, `${what}: a click at ${x}, ${y}`);
    }
  }
});

test("a view of a log that grew shows the new end where it showed the old one, else stays where it was", () => {
  for (const { view, size, next } of views(41, 400)) {
    const after = { ...size, blocks: size.blocks + 1 + Math.floor(next() * 5000) };
    const grown = View.grown(view, size, after);
    const end = (/** @type {View.View} */ v, /** @type {View.Size} */ s) => v.first + View.shown(v, s);
    assert.equal(grown.width, View.clamp(view, after).width, "the zoom kept where the log allows");
    if (end(view, size) >= size.blocks - 0.5) {
      assert.ok(Math.abs(end(grown, after) - Math.max(after.blocks, View.shown(grown, after))) < 1e-6, "at the end");
    } else assert.equal(grown.first, view.first, "where it was");
    assert.deepEqual([grown.cursor, grown.chosen, grown.highlight], [view.cursor, view.chosen, view.highlight]);
  }
});
