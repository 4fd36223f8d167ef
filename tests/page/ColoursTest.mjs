// The page's previews against the stand-in's Direct3D 9 device: for each
// setting, set through the page's sliders and fields, the middle of the disc
// over each background equals within 1 per channel what the device leaves in
// its target for the same colour, patched through the real plug-in's bytes and
// with the usual blend; the disc has the size the page states, and around it
// the background stays as it was.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  CHANNELS, channelValues, channelsApart, giveIni, hex, previewPanels, reference, scratchFolder, setChannel,
  browserSession, writeFiles,
} from "./PageDriver.mjs";
import { argb, COLOURS as SETTINGS } from "./Reference.mjs";

// Where a line of pixels through the panel's middle leaves the background:
// nowhere when the disc itself looks like the background, else one run across
// the disc's diameter (within a pixel), centred.
/**
 * @param {number[]} line
 * @param {number} diameter
 * @param {number} background
 */
function discProblem(line, diameter, background) {
  const off = line.flatMap((rgb, i) => (rgb === (background & 0xffffff) ? [] : [i]));
  const middle = Math.floor(line.length / 2);
  if (!off.includes(middle)) return off.length === 0 ? null : `${off.length} pixels off the background, not the disc`;
  const [first, last] = [off[0], off[off.length - 1]];
  if (last - first + 1 !== off.length) return `pixels ${off.join(",")} off the background: not one run`;
  if (Math.abs(off.length - diameter) > 1 || Math.abs(first - (line.length - diameter) / 2) > 1) {
    return `the disc spans pixels ${first} to ${last}, not ${diameter} across the middle`;
  }
  return null;
}

const session = browserSession();

test("each setting blends over each background as the stand-in's device draws it", async () => {
  const drawn = reference("pixels", ...SETTINGS.map((setting) => hex(argb(setting)).slice(2)));
  assert.equal(drawn.length, SETTINGS.length * 3, "three backgrounds a setting");
  const page = await session.open();
  let chequered = 0;
  for (const setting of SETTINGS) {
    for (const [i, name] of CHANNELS.entries()) await setChannel(page, name, setting[i]);
    assert.deepEqual(await channelValues(page), Object.fromEntries(CHANNELS.map((name, i) => [name, setting[i]])));
    const mine = drawn.filter((pixel) => pixel.colour === argb(setting));
    // The swatch: the colour over black and over white as the device blends it with the patch, and nothing else.
    // Two colours in a chequer: the square's side is where the first row first changes colour, and each pixel
    // has the colour of the first row's square of its parity.
    const [swatch, chequer] = await page.$eval("#colour-swatch", (element) => {
      const canvas = /** @type {HTMLCanvasElement} */ (element);
      const { width, height } = canvas;
      const data = /** @type {CanvasRenderingContext2D} */ (canvas.getContext("2d")).getImageData(0, 0, width, height).data;
      const rgb = (/** @type {number} */ x, /** @type {number} */ y) =>
        (data[(y * width + x) * 4] << 16) | (data[(y * width + x) * 4 + 1] << 8) | data[(y * width + x) * 4 + 2];
      /** @type {Set<number>} */
      const seen = new Set();
      for (let i = 0; i < data.length; i += 4) seen.add((data[i] << 16) | (data[i + 1] << 8) | data[i + 2]);
      let side = 1;
      while (side < width && rgb(side, 0) === rgb(0, 0)) side++;
      let problem = seen.size > 1 && (side === width || side >= height) ? "no chequer: no square of each colour" : "";
      for (let y = 0; y < height && seen.size > 1 && !problem; y++) {
        for (let x = 0; x < width && !problem; x++) {
          if (rgb(x, y) !== rgb(((Math.floor(x / side) + Math.floor(y / side)) % 2) * side, 0)) problem = `pixel ${x},${y}`;
        }
      }
      return /** @type {[number[], string]} */ ([[...seen], problem]);
    });
    assert.equal(chequer, "", `${setting.join("/")}: the swatch's chequer`);
    chequered += swatch.length > 1 ? 1 : 0;
    const device = mine.filter((pixel) => [0, 0xffffff].includes(pixel.background & 0xffffff)).map((pixel) => pixel.patched);
    const near = (/** @type {number[]} */ some, /** @type {number} */ rgb) => some.some((other) =>
      channelsApart(other | 0xff000000, rgb | 0xff000000).length === 0);
    assert.ok(device.length === 2 && device.every((rgb) => near(swatch, rgb)) && swatch.every((rgb) => near(device, rgb)),
      `${setting.join("/")}: the swatch shows ${swatch.map(hex)}, the device ${device.map(hex)}`);
    for (const blend of /** @type {const} */ (["patched", "usual"])) {
      const panels = await previewPanels(page, blend);
      assert.equal(panels.length, mine.length, "one panel a background");
      for (const [i, { middle, diameter, row, column }] of panels.entries()) {
        const over = `${setting.join("/")} ${blend} over ${hex(mine[i].background)}`;
        assert.deepEqual(channelsApart(middle, mine[i][blend]), [],
          `${over}: page ${hex(middle)}, device ${hex(mine[i][blend])}`);
        assert.ok(diameter > 0, `${over}: the disc's diameter is stated`);
        for (const [name, line] of Object.entries({ row, column })) {
          assert.equal(discProblem(line, diameter, mine[i].background), null, `${over}, middle ${name}`);
        }
      }
    }
  }
  assert.ok(chequered > 0, "some colours show two colours in the swatch");
});

// Typed, then left or taken with Enter: read as the INI reads a value (out of
// range clamped, other bases, text the default), in the field, the lines to
// paste and the link.
/** @type {Array<[import("../../page/colour.js").Channel, number | string, number]>} */
const OUT_OF_RANGE = [["Red", -5, 0], ["Green", 300, 255], ["Alpha", -1, 0], ["Blue", 256, 255], ["Alpha", "0x80", 128],
  ["Green", "010", 8], ["Red", "1e2", 1], ["Blue", "abc", 224], ["Alpha", " 0x7f ", 127]];

test("a preset, or a value typed in any form, and the lines to paste and the link carry the colour", async () => {
  const page = await session.open();
  /** @type {Record<string, number>} */
  const colour = { Red: 60, Green: 180, Blue: 255, Alpha: 128 };
  const pairs = () => CHANNELS.map((channel) => `${channel}=${colour[channel]}`);
  const carried = async (/** @type {string} */ what) => assert.deepEqual({
    fields: await channelValues(page),
    lines: await page.$eval("textarea#colour-lines", (/** @type {HTMLTextAreaElement} */ area) => area.value),
    link: await page.$eval("a#colour-link", (/** @type {HTMLAnchorElement} */ anchor) => anchor.getAttribute("href")),
  }, { fields: colour, lines: pairs().join("\n"), link: `?${pairs().join("&")}` }, what);
  await page.click('button[data-preset="60,180,255,128"]');
  await carried("the preset");
  for (const [i, [name, typed, value]] of OUT_OF_RANGE.entries()) {
    if (i % 2 === 1) {
      await setChannel(page, name, typed);
    } else {
      // Enter takes the value in the field, which keeps the focus.
      const field = await page.$(`input[type="text"][name="${name}"]`);
      assert.ok(field, `the field of ${name}`);
      await field.click();
      await field.evaluate((/** @type {HTMLInputElement} */ typing) => typing.select());
      await field.type(String(typed));
      await page.keyboard.press("Enter");
      assert.equal(await page.evaluate(() => document.activeElement?.getAttribute("name")), name);
    }
    colour[name] = value;
    await carried(`${name} typed as ${typed}, then ${i % 2 === 1 ? "left" : "Enter"}`);
  }
  const linked = await session.open(`?${pairs().join("&")}`);
  assert.deepEqual(await channelValues(linked), colour);
});

test("each copy button has a name of its own, says it copied and copies its lines as they are; the link keeps what " +
  "was read", async () => {
  const page = await session.open();
  const [ini] = writeFiles(scratchFolder(), [{ name: "Vorlaine.Crimsel.ini", bytes: Buffer.from("[BloodDecal]\r\nRed=200\r\n") }]);
  await giveIni(page, ini, "Vorlaine.Crimsel.ini");
  await setChannel(page, "Green", 90);
  const names = await page.$$eval("button[data-copy]", (/** @type {HTMLButtonElement[]} */ buttons) =>
    buttons.map((button) => button.textContent));
  assert.equal(new Set(names).size, names.length, `${names}`);
  for (const button of await page.$$("button[data-copy]")) {
    await button.click();
    await page.waitForFunction((/** @type {HTMLButtonElement} */ copy) =>
      copy.nextElementSibling?.textContent === "Copied", {}, button);
  }
  // What each button hands to the clipboard, caught on its way there, against its lines as they now stand.
  await page.evaluate(() => Object.defineProperty(navigator, "clipboard", { value: {
    writeText: async (/** @type {string} */ text) => { document.body.dataset.copied = text; } } }));
  for (const button of await page.$$("button[data-copy]")) {
    await page.evaluate(() => delete document.body.dataset.copied);
    await button.click();
    await page.waitForFunction(() => document.body.dataset.copied !== undefined);
    const lines = await button.evaluate((/** @type {HTMLButtonElement} */ copy) =>
      /** @type {HTMLTextAreaElement} */ (document.getElementById(`${copy.dataset.copy}`)).value);
    assert.equal(await page.evaluate(() => document.body.dataset.copied), lines, "what was copied");
  }
  // With Ctrl, or the middle button, the link is the browser's: it opens in a tab of its own, and this page's
  // address stays as it was.
  for (const [key, button] of /** @type {const} */ ([["Control", "left"], ["", "middle"]])) {
    const opened = page.browser().waitForTarget((target) => target.url().endsWith("?Red=200&Green=90&Blue=224&Alpha=255"),
      { timeout: 5000 });
    if (key) await page.keyboard.down(key);
    await page.click("#colour-link", { button });
    if (key) await page.keyboard.up(key);
    const tab = await (await opened.catch(() => assert.fail(`${key || button}+click: no tab opened`))).page();
    await tab?.close();
    assert.equal(await page.evaluate(() => window.location.search), "", `${key || button}+click: the address as it was`);
  }
  await page.click("#colour-link");
  // The page's own address: the driver learns of a change within the page only later.
  assert.equal(await page.evaluate(() => window.location.search), "?Red=200&Green=90&Blue=224&Alpha=255",
    "the address carries the colour");
  assert.equal(await page.$eval("div#ini-report", (/** @type {HTMLDivElement} */ report) => report.hidden), false,
    "what was read is still there");
});
