// The timeline's keys, wheel, clicks and focus, each made a change of its view.

import * as View from "./timelineview.js";

/**
 * What the input reads and changes: the view as it is, a change of it (which the timeline draws), the sizes, the
 * block under a pixel of a row or strip (asked of the drawing, which holds the cells), and what a choice, the
 * cursor's move and a map's name tell the page.
 * @typedef {{ view: () => View.View, change: (view: View.View) => void, size: () => View.Size,
 *   blockAt: (x: number, map: number) => Promise<number>, choose: (cell: View.Cell) => void,
 *   cursor: (cell: View.Cell) => void, mapName: (map: number) => void }} Wiring
 */

// The drawing's pixel under the mouse: from inside the canvas's border, which
// the bounding box holds, and as wide as it is drawn.
/** @param {HTMLCanvasElement} canvas @param {View.Size} size @param {MouseEvent} event @returns {[number, number]} */
function pixel(canvas, size, event) {
  const box = canvas.getBoundingClientRect();
  return [((event.clientX - box.left - canvas.clientLeft) * size.pixels) / canvas.clientWidth,
    ((event.clientY - box.top - canvas.clientTop) * View.height(size.rows)) / canvas.clientHeight];
}

/**
 * The wheel with Ctrl zooms around the pointer; with Shift, or sideways, it scrolls. A plain vertical wheel is
 * the page's: it scrolls past the timeline.
 * @param {HTMLCanvasElement} canvas @param {Wiring} wiring @param {WheelEvent} event
 */
function wheel(canvas, wiring, event) {
  const scale = event.deltaMode === 1 ? 16 : event.deltaMode === 2 ? View.plot(wiring.size()) : 1;
  const sideways = Math.abs(event.deltaX) > Math.abs(event.deltaY);
  if (event.ctrlKey) {
    event.preventDefault();
    const factor = 1.25 ** Math.max(-4, Math.min(4, (-event.deltaY * scale) / 100));
    wiring.change(View.zoom(wiring.view(), wiring.size(), factor, pixel(canvas, wiring.size(), event)[0]));
  } else if (event.shiftKey || sideways) {
    event.preventDefault();
    wiring.change(View.scroll(wiring.view(), wiring.size(), (sideways ? event.deltaX : event.deltaY) * scale));
  }
}

/** @param {Wiring} wiring @param {KeyboardEvent} event */
function key(wiring, event) {
  if (event.ctrlKey || event.altKey || event.metaKey) return;
  if (event.key === "Enter" || event.key === " ") {
    wiring.choose(wiring.view().cursor);
  } else {
    const pressed = View.press(wiring.view(), wiring.size(), event.key);
    if (!pressed) return;
    wiring.change(pressed.view);
    if (pressed.moved) wiring.cursor(pressed.view.cursor);
  }
  event.preventDefault();
}

/** @param {HTMLCanvasElement} canvas @param {Wiring} wiring @param {MouseEvent} event */
async function click(canvas, wiring, event) {
  const size = wiring.size();
  const [x, y] = pixel(canvas, size, event);
  const map = View.mapAt(y, size);
  const strip = View.stripAt(y);
  if (map < 0 && strip < 0) return;
  if (x < View.LEFT) {
    if (map >= 0) wiring.mapName(map);
    return;
  }
  // A click on a strip chooses its block in the cursor's row.
  const block = await wiring.blockAt(x, map >= 0 ? map : -1 - strip);
  if (block >= 0) wiring.choose({ block, map: map >= 0 ? map : wiring.view().cursor.map });
}

/**
 * Listens to the canvas's wheel, keys, clicks and focus.
 * @param {HTMLCanvasElement} canvas @param {Wiring} wiring
 */
export function listen(canvas, wiring) {
  canvas.onwheel = (event) => wheel(canvas, wiring, event);
  canvas.onkeydown = (event) => key(wiring, event);
  canvas.onclick = (event) => click(canvas, wiring, event);
  canvas.onfocus = () => {
    const view = View.focus(wiring.view(), wiring.size());
    wiring.change(view);
    wiring.cursor(view.cursor);
  };
  canvas.onblur = () => wiring.change({ ...wiring.view(), focused: false });
}
