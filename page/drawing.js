// Draws the previews: in each panel the test bed's decal disc over one opaque
// background, every pixel by the blend model. The canvas shows the target's
// colour opaque (the page behind must not mix with the target's alpha), and the
// alpha that the target then holds is given as a number beside it.

import * as BlendModel from "./model.js";

const PANEL_PIXELS = 120;
// The disc's size as the page states it beside the previews.
const DISC_DIAMETER = 72;

/**
 * @param {HTMLCanvasElement} canvas
 * @param {import("./model.js").Rgba} colour
 * @param {number} backgroundArgb
 * @param {import("./model.js").Factors} factors
 */
function drawPanel(canvas, colour, backgroundArgb, factors) {
  const context = /** @type {CanvasRenderingContext2D} */ (canvas.getContext("2d"));
  const { width, height } = canvas;
  const image = context.createImageData(width, height);
  const inside = BlendModel.blend(BlendModel.TEXEL_INSIDE, colour, backgroundArgb, factors);
  const outside = BlendModel.blend(BlendModel.TEXEL_OUTSIDE, colour, backgroundArgb, factors);
  const radius = DISC_DIAMETER / 2;
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const dx = x + 0.5 - width / 2;
      const dy = y + 0.5 - height / 2;
      const pixel = dx * dx + dy * dy < radius * radius ? inside : outside;
      const at = (y * width + x) * 4;
      image.data[at] = pixel.r;
      image.data[at + 1] = pixel.g;
      image.data[at + 2] = pixel.b;
      image.data[at + 3] = 255;
    }
  }
  context.putImageData(image, 0, 0);
  return inside;
}

// One panel a background: its canvas and the number beside it, both marked
// with the background's name.
/** @param {Element} figure */
function panels(figure) {
  const holder = /** @type {HTMLElement} */ (figure.querySelector(".panels"));
  if (holder.children.length === 0) {
    for (const background of BlendModel.BACKGROUNDS) {
      const panel = document.createElement("div");
      panel.className = "panel";
      const canvas = document.createElement("canvas");
      canvas.width = PANEL_PIXELS;
      canvas.height = PANEL_PIXELS;
      canvas.dataset.background = background.name;
      canvas.dataset.discDiameter = String(DISC_DIAMETER);
      canvas.setAttribute("role", "img");
      canvas.setAttribute("aria-label", `over ${background.name}`);
      const caption = document.createElement("span");
      const alpha = document.createElement("output");
      alpha.dataset.background = background.name;
      caption.append(`over ${background.name}; the damage map's own opacity there: `, alpha, " of 255");
      panel.append(canvas, caption);
      holder.append(panel);
    }
  }
  return [...holder.children].map((panel) => ({
    canvas: /** @type {HTMLCanvasElement} */ (panel.querySelector("canvas")),
    alpha: /** @type {HTMLOutputElement} */ (panel.querySelector("output")),
  }));
}

/**
 * Draws the previews of one blend into its figure.
 * @param {Element} figure
 * @param {import("./model.js").Rgba} colour
 * @param {import("./model.js").Factors} factors
 */
export function drawPreview(figure, colour, factors) {
  panels(figure).forEach(({ canvas, alpha }, i) => {
    alpha.textContent = String(drawPanel(canvas, colour, BlendModel.BACKGROUNDS[i].argb, factors).a);
  });
}

const SQUARE = 8; // the swatch's chequer, in pixels

/**
 * The swatch: a chequer of its two backgrounds, each square the colour as the patch blends it there.
 * @param {HTMLCanvasElement} canvas
 * @param {{ over: number, shows: import("./model.js").Rgba }[]} squares the colour over each background
 */
export function drawSwatch(canvas, squares) {
  const context = /** @type {CanvasRenderingContext2D} */ (canvas.getContext("2d"));
  for (let y = 0; y < canvas.height; y += SQUARE) {
    for (let x = 0; x < canvas.width; x += SQUARE) {
      const { r, g, b } = squares[(x + y) / SQUARE % squares.length].shows;
      context.fillStyle = `rgb(${r}, ${g}, ${b})`;
      context.fillRect(x, y, SQUARE, SQUARE);
    }
  }
}
