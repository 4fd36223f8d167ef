// The page's previews against the stand-in's Direct3D 9 device: for each
// setting, set through the page's sliders and fields, the middle of the disc
// over each background equals within 1 per channel what the device leaves in
// its target for the same colour, patched through the real plug-in's bytes and
// with the usual blend.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  CHANNELS, channelValues, channelsApart, hex, previewPixels, reference, setChannel, browserSession,
} from "./PageDriver.mjs";

// Red, green, blue, alpha: each channel at 0 and at 255 somewhere, and alpha
// opaque, clear and at several translucent values, where the blends differ.
const SETTINGS = [
  [224, 224, 224, 255], [200, 10, 40, 255], [60, 180, 255, 128], [0, 0, 0, 0], [255, 255, 255, 1],
  [255, 0, 128, 64], [0, 255, 0, 192], [30, 200, 90, 250], [128, 64, 255, 15],
];
const argb = ([r, g, b, a]) => ((a << 24) | (r << 16) | (g << 8) | b) >>> 0;

const session = browserSession();

test("each setting blends over each background as the stand-in's device draws it", async () => {
  const drawn = reference("pixels", ...SETTINGS.map((setting) => hex(argb(setting)).slice(2)));
  assert.equal(drawn.length, SETTINGS.length * 3, "three backgrounds a setting");
  const page = await session.open();
  for (const setting of SETTINGS) {
    for (const [i, name] of CHANNELS.entries()) await setChannel(page, name, setting[i]);
    assert.deepEqual(await channelValues(page), Object.fromEntries(CHANNELS.map((name, i) => [name, setting[i]])));
    const mine = drawn.filter((pixel) => pixel.colour === argb(setting));
    for (const blend of ["patched", "usual"]) {
      const shown = await previewPixels(page, blend);
      assert.equal(shown.length, mine.length, "one panel a background");
      shown.forEach((pixel, i) => assert.deepEqual(channelsApart(pixel, mine[i][blend]), [],
        `${setting.join("/")} ${blend} over ${hex(mine[i].background)}: page ${hex(pixel)}, device ` +
        `${hex(mine[i][blend])}`));
    }
  }
  assert.deepEqual(session.errors, []);
  assert.deepEqual(session.foreignRequests, []);
});

test("a preset and the lines to paste carry the colour", async () => {
  const page = await session.open();
  await page.click('button[data-preset="60,180,255,128"]');
  assert.deepEqual(await channelValues(page), { Red: 60, Green: 180, Blue: 255, Alpha: 128 });
  const lines = await page.$eval("#colour-lines", (area) => area.value);
  assert.equal(lines, "Red=60\nGreen=180\nBlue=255\nAlpha=128");
  const link = await page.$eval("#colour-link", (anchor) => anchor.getAttribute("href"));
  const linked = await session.open(link);
  assert.deepEqual(await channelValues(linked), { Red: 60, Green: 180, Blue: 255, Alpha: 128 });
  assert.deepEqual(session.foreignRequests, []);
});
