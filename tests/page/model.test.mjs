// The page's blend model against the stand-in's Direct3D 9 device: for each
// colour, at points inside the decal's disc and outside it, where the texture
// is clear and the background must stay as it was, the model gives what the
// device left in its target, within 1 per channel, patched through the real
// plug-in's bytes and with the usual blend. The previews' two texels are the
// texture's own inside and outside the disc.
// Environment: CRIMSEL_PAGE_REFERENCE (page_reference.exe).
import assert from "node:assert/strict";
import { test } from "node:test";
import { blendWords, words } from "../../page/colour.js";
import { BACKGROUNDS, blend, PATCHED, TEXEL_INSIDE, TEXEL_OUTSIDE, USUAL } from "../../page/model.js";
import { argb, COLOURS as SETTINGS, hex, reference } from "./Reference.mjs";

const COLOURS = SETTINGS.map(argb);

/** @param {number} word */
const channels = (word) => ({ a: word >>> 24, r: (word >>> 16) & 255, g: (word >>> 8) & 255, b: word & 255 });
/** @param {Record<string, number>} a @param {Record<string, number>} b */
const apart = (a, b) => ["a", "r", "g", "b"].filter((c) => Math.abs(a[c] - b[c]) > 1);

const drawn = reference("pixels", ...COLOURS.map((colour) => hex(colour).slice(2)));

test("each colour blends at every point as the device draws it", () => {
  assert.equal(drawn.length, COLOURS.length * BACKGROUNDS.length, "one line a colour and background");
  for (const pixel of drawn) {
    assert.ok(pixel.points.some((p) => p.texel >>> 24 === 0) && pixel.points.some((p) => p.texel >>> 24 === 255),
      "points inside the disc and where the texture is clear");
    for (const point of pixel.points) {
      for (const [name, factors] of /** @type {const} */ ([["patched", PATCHED], ["usual", USUAL]])) {
        const model = blend(channels(point.texel), channels(pixel.colour), pixel.background, factors);
        assert.deepEqual(apart(model, channels(point[name])), [], `${hex(pixel.colour)} ${name} over ` +
          `${hex(pixel.background)} at ${point.x},${point.y} (texel ${hex(point.texel)}): model ` +
          `${JSON.stringify(model)}, device ${hex(point[name])}`);
      }
    }
  }
});

test("the previews' texels and backgrounds are the stand-in's", () => {
  const texels = new Set(drawn.flatMap((pixel) => pixel.points.map((point) => point.texel >>> 0)));
  /** @param {import("../../page/model.js").Rgba} rgba */
  const word = ({ a, r, g, b }) => argb([r, g, b, a]);
  assert.ok(texels.has(word(TEXEL_INSIDE)), `the disc's texel among ${[...texels].map(hex)}`);
  assert.ok(texels.has(word(TEXEL_OUTSIDE)), "the clear texel");
  assert.deepEqual([...new Set(drawn.map((pixel) => pixel.background >>> 0))], BACKGROUNDS.map((b) => b.argb));
});

// The colour's words at every Alpha: a translucent one never said as 0 % or 100 % opaque, the share kept below
// within a per cent of the blend's; advice only for a translucent colour.
test("the colour's words say every Alpha's opacity, and advise only where the colour calls for it", () => {
  for (let alpha = 0; alpha <= 255; alpha++) {
    const colour = { Red: 224, Green: 224, Blue: 224, Alpha: alpha };
    const said = words(colour);
    const percent = Number(/(\d+) % opaque/.exec(said)?.[1] ?? NaN);
    if (alpha === 0 || alpha === 255) assert.ok(Number.isNaN(percent), said);
    else assert.ok(percent >= 1 && percent <= 99 && Math.abs(percent - (100 * alpha) / 255) < 1, said);
    const kept = Number(/keeps (\d+) %/.exec(blendWords(colour))?.[1] ?? NaN);
    const below = blend(TEXEL_INSIDE, { r: 0, g: 0, b: 0, a: alpha }, 0xffffffff, PATCHED).r / 2.55;
    if (alpha < 255) {
      assert.ok((alpha === 0 ? kept === 100 : kept >= 1 && kept <= 99) && Math.abs(kept - below) < 1.5,
        `${alpha}: ${blendWords(colour)}`);
    }
    assert.equal(/raise Alpha/.test(blendWords(colour)), alpha < 255, `${alpha}: ${blendWords(colour)}`);
  }
});
