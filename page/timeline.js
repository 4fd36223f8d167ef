// Draws the damage maps' timeline: one column per block in file order, one row
// per map index, a cell in its owner's colour with marks for its flags; above
// the rows, a strip for before/after (an unfinished block in red), one for the
// events and one for the execution decals. Only what is in view is drawn, a
// chunk of columns at a time, so that a log of ten thousand blocks scrolls and
// zooms at once.
//
// Where a drawn unit stands for several blocks, it shows what any of them
// holds, so that zooming in adds detail and never takes a mark away; no unit is
// narrower than two pixels. Marks differ by place and shape, not by shade.

import * as LogModel from "./logmodel.js";
import { CUT_OFF, EVENT, EXECUTION, rgba } from "./summary.js";

const ROW = 18; // a cell and a gap of one pixel
const BAND = 3; // the flag marks along a cell's top and foot
const LEFT = 72; // the band of map names on the left
const STRIP = 12;
const LABELS = 15; // the band of time stamps at the top
const TOP = LABELS + 3 * (STRIP + 1) + 2;
const UNIT = 2; // the narrowest unit drawn, so that every mark is at least 2 px wide
const MAX_COLUMN = 80;
const FONT = "10px sans-serif";

// The colours that follow the page's light or dark scheme.
const LIGHT = { background: rgba(250, 250, 250), empty: rgba(226, 226, 232), before: rgba(190, 190, 196),
  after: rgba(90, 90, 100), text: "#333", cursor: "#0b57d0" };
const DARK = { background: rgba(23, 23, 26), empty: rgba(48, 48, 56), before: rgba(150, 150, 160),
  after: rgba(78, 78, 90), text: "#d8d8e0", cursor: "#8ab4f8" };
const darkScheme = typeof matchMedia === "function" ? matchMedia("(prefers-color-scheme: dark)") : null;
const UNFINISHED = rgba(200, 30, 30);
const EVENT_COLOUR = rgba(230, 120, 0);
const EXECUTION_COLOUR = rgba(140, 0, 160);
const MARK = rgba(17, 17, 17);

const NEEDS_CLEAR = 1;
const RESET_AFTER_RENDER = 2;
const INACTIVE = 4;
const MOVED = 8; // the map's owner changed: not a flag of the log's
const LIT = 16; // the highlighted owner's
const BUDGET = 8; // ms of drawing in one frame
const CHUNK = 96; // the widest run of columns drawn at once

// Relative luminance of an ImageData word, for choosing the ink on a cell.
function luminance(word) {
  const linear = (channel) => {
    const c = channel / 255;
    return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
  };
  return 0.2126 * linear(word & 255) + 0.7152 * linear((word >>> 8) & 255) + 0.0722 * linear((word >>> 16) & 255);
}
// Black or white, whichever stands out more: never under 4.5:1 against any colour.
const ink = (word) => (luminance(word) > 0.179 ? "#000" : "#fff");
const css = (word) => `rgb(${word & 255}, ${(word >>> 8) & 255}, ${(word >>> 16) & 255})`;
const faded = (word, background) => {
  const mix = (shift) => Math.round(((word >>> shift) & 255) * 0.3 + ((background >>> shift) & 255) * 0.7);
  return rgba(mix(0), mix(8), mix(16));
};
export const mapName = (map) => `map[${String(map).padStart(2, "0")}]`;

// handlers: select(cell) when a cell is chosen, cursor(cell) when the keyboard's
// cursor moves, mapName(map) when a row's name is chosen, view() after a draw.
export function create(canvas, model, summary, handlers) {
  const blocks = model.blocks.length;
  const { rows, ownerOf, changed, list, marks } = summary;
  const { firstCell, expected, after } = model.blocks;
  const { present, flags: cellFlags, decals, slot } = model.cells;
  const view = { first: 0, width: 1, chosen: null, cursor: { block: 0, map: 0 }, highlight: -1, narrowed: -1 };
  let pending = false;
  let focused = false;
  const context = canvas.getContext("2d");
  // A chunk of columns' pixels, drawn into anew, made again only for a new height.
  let chunk = null;
  let nextUnit = -1; // where an unfinished drawing goes on in the next frame; -1 to begin anew
  const capacity = () => Math.ceil(canvas.width / UNIT) + 2;
  let units = null;
  const rowOwner = new Int32Array(LogModel.MAX_MAPS);
  const rowFlags = new Uint8Array(LogModel.MAX_MAPS);
  let names = { band: null, narrowed: null, scheme: null };
  let scheme = darkScheme?.matches ? DARK : LIGHT;
  // The newest timeline follows the scheme as it changes.
  if (darkScheme) {
    darkScheme.onchange = () => {
      scheme = darkScheme.matches ? DARK : LIGHT;
      redraw();
    };
  }
  const words = Uint32Array.from(list, (owner) => owner.word);
  const seen = new Uint32Array(list.length); // the cells of each owner in view

  const plot = () => canvas.width - LEFT;
  const fit = () => Math.max(Math.min(plot() / Math.max(blocks, 1), MAX_COLUMN), 0.01);
  const shown = () => plot() / view.width;
  const clamp = () => {
    view.width = Math.min(MAX_COLUMN, Math.max(fit(), view.width));
    view.first = Math.max(0, Math.min(blocks - shown(), view.first));
  };

  // Each drawn unit in view: its blocks [from, to) and its pixels [left, right).
  function forEachUnit(visit) {
    const w = view.width;
    const right = canvas.width;
    if (w >= UNIT) {
      const gap = w >= 4 ? 1 : 0;
      for (let block = Math.floor(view.first); block < blocks; block++) {
        const left = LEFT + Math.floor((block - view.first) * w);
        if (left >= right) break;
        visit(block, block + 1, Math.max(LEFT, left), Math.min(right, LEFT + Math.floor((block + 1 - view.first) * w) - gap));
      }
      return;
    }
    for (let x = LEFT; x < right; x += UNIT) {
      const from = x === LEFT ? Math.floor(view.first) : Math.ceil(view.first + (x - LEFT) / w);
      if (from >= blocks) break;
      const to = Math.min(blocks, Math.ceil(view.first + (x + UNIT - LEFT) / w));
      if (from < to) visit(from, to, x, Math.min(right, x + UNIT));
    }
  }

  // The pixels [left, right) of the unit that holds a block.
  function unitOf(block) {
    const w = view.width;
    if (w >= UNIT) {
      const left = LEFT + Math.floor((block - view.first) * w);
      return [left, Math.max(left + UNIT, LEFT + Math.floor((block + 1 - view.first) * w))];
    }
    const left = LEFT + Math.floor(((block - view.first) * w) / UNIT) * UNIT;
    return [left, left + UNIT];
  }

  // The drawing goes on a chunk of columns at a time and, past its budget, in
  // the next frame; the words go on last: no frame of a long log keeps the
  // page busy for long, even on a slow computer.
  function draw() {
    pending = false;
    const started = performance.now();
    if (!chunk || chunk.height !== canvas.height) chunk = context.createImageData(CHUNK, canvas.height);
    const began = nextUnit < 0;
    if (began) {
      if (!units || units.from.length < capacity()) {
        const size = capacity();
        units = { count: 0, from: new Int32Array(size), to: new Int32Array(size), left: new Int32Array(size),
          right: new Int32Array(size) };
      }
      units.count = 0;
      forEachUnit((from, to, left, right) => {
        const u = units.count++;
        units.from[u] = from;
        units.to[u] = to;
        units.left[u] = left;
        units.right[u] = right;
      });
      seen.fill(0);
      nextUnit = 0;
    }
    const first = nextUnit;
    while (nextUnit < units.count && ((!began && nextUnit === first) || performance.now() - started < BUDGET)) {
      nextUnit = drawChunk(nextUnit);
    }
    // The words go on in a frame of their own when the columns took long.
    const finish = nextUnit === units.count && (first === units.count || performance.now() - started < BUDGET);
    busy(!finish);
    if (!finish) {
      pending = true;
      requestAnimationFrame(draw);
      return;
    }
    nextUnit = -1;
    labels();
    handlers.view();
  }

  // The units from the given one that fit in one chunk's width, drawn and put
  // on the canvas; gives the unit after them.
  function drawChunk(firstUnit) {
    const x0 = units.left[firstUnit];
    new Uint32Array(chunk.data.buffer).fill(scheme.background);
    let u = firstUnit;
    for (; u < units.count && units.right[u] - x0 <= CHUNK; u++) drawUnit(u, x0);
    const x1 = u < units.count ? units.left[u] : canvas.width;
    context.putImageData(chunk, x0, 0, 0, 0, x1 - x0, canvas.height);
    return u;
  }

  // One unit: its strips, and in each row the colour of the map's last owner
  // there (or of the highlighted owner where it is among them) with every mark
  // of any of its blocks. The blocks' cells are read in the order they lie.
  function drawUnit(u, x0) {
    const pixels = new Uint32Array(chunk.data.buffer);
    const from = units.from[u];
    const to = units.to[u];
    const left = units.left[u] - x0;
    const right = units.right[u] - x0;
    const fill = (top, bottom, word) => {
      for (let y = top; y < bottom; y++) pixels.fill(word, y * CHUNK + left, y * CHUNK + right);
    };
    let bits = to === blocks ? marks[blocks] & EXECUTION : 0;
    let kinds = 0;
    for (let block = from; block < to; block++) {
      bits |= marks[block];
      kinds |= after[block] ? 2 : 1;
    }
    if (bits & CUT_OFF) fill(LABELS, LABELS + STRIP, UNFINISHED);
    else if (kinds === 3) {
      fill(LABELS, LABELS + STRIP / 2, scheme.before);
      fill(LABELS + STRIP / 2, LABELS + STRIP, scheme.after);
    } else fill(LABELS, LABELS + STRIP, kinds === 2 ? scheme.after : scheme.before);
    if (bits & EVENT) fill(LABELS + STRIP + 1, LABELS + 2 * STRIP + 1, EVENT_COLOUR);
    if (bits & EXECUTION) fill(LABELS + 2 * (STRIP + 1), LABELS + 3 * STRIP + 2, EXECUTION_COLOUR);

    const highlight = view.highlight;
    rowOwner.fill(-1);
    rowFlags.fill(0);
    for (let block = from; block < to; block++) {
      const first = firstCell[block];
      const count = Math.min(expected[block], rows);
      for (let row = 0; row < count; row++) {
        const cell = first + row;
        if (!present[cell]) continue;
        const owner = ownerOf[cell];
        seen[owner]++;
        rowOwner[row] = owner;
        rowFlags[row] |= (cellFlags[cell] & 7) | (changed[cell] << 3) | (owner === highlight ? LIT : 0);
      }
    }
    for (let row = 0; row < rows; row++) {
      const owner = rowOwner[row];
      const flags = rowFlags[row];
      let word = scheme.empty;
      if (owner >= 0) word = flags & LIT ? words[highlight] : words[owner];
      if (highlight >= 0 && !(flags & LIT)) word = faded(word, scheme.background);
      const top = TOP + row * ROW;
      const foot = top + ROW - 1;
      for (let y = top; y < foot; y++) {
        const line = y * CHUNK;
        const band = y < top + BAND ? flags & NEEDS_CLEAR : y >= foot - BAND ? flags & RESET_AFTER_RENDER : 0;
        if (band || !(flags & (MOVED | INACTIVE))) {
          const ink = band ? MARK : word;
          for (let x = left; x < right; x++) pixels[line + x] = ink;
          continue;
        }
        for (let x = left; x < right; x++) {
          const marked = (flags & MOVED && x < left + UNIT) || (flags & INACTIVE && ((x0 + x + y) & 3) === 0);
          pixels[line + x] = marked ? MARK : word;
        }
      }
    }
  }

  function labels() {
    context.fillStyle = scheme.text;
    context.font = FONT;
    context.textBaseline = "top";
    const every = Math.max(1, Math.ceil(110 / view.width));
    for (let column = Math.ceil(view.first / every) * every; column < Math.min(blocks, view.first + shown()); column += every) {
      const x = LEFT + (column - view.first) * view.width;
      context.fillText(new Date(model.blocks.time[column]).toISOString().slice(11, 23), x + 1, 2);
    }
    context.fillStyle = css(scheme.background);
    context.fillRect(0, 0, LEFT, canvas.height);
    context.drawImage(nameBand(), 0, 0);
    context.save();
    context.beginPath();
    context.rect(LEFT, 0, plot(), canvas.height);
    context.clip();
    if (view.width >= 16) cellTexts(context);
    if (view.chosen) frame(context, view.chosen, 0, "#000", []);
    if (focused) frame(context, view.cursor, 3, scheme.cursor, [4, 3]);
    context.restore();
  }

  // The names of the strips and the rows, drawn again only when the narrowed row changes.
  function nameBand() {
    if (names.narrowed === view.narrowed && names.scheme === scheme) return names.band;
    const band = document.createElement("canvas");
    band.width = LEFT;
    band.height = canvas.height;
    const context = band.getContext("2d");
    context.font = FONT;
    context.textBaseline = "middle";
    context.fillStyle = scheme.text;
    for (const [i, name] of ["block", "events", "executions"].entries()) {
      context.fillText(name, 2, LABELS + i * (STRIP + 1) + STRIP / 2);
    }
    for (let row = 0; row < rows; row++) {
      const y = TOP + row * ROW + (ROW - 1) / 2;
      if (row === view.narrowed) {
        context.fillRect(0, TOP + row * ROW, LEFT - 4, ROW - 1);
        context.fillStyle = css(scheme.background);
      }
      context.fillText(mapName(row), 4, y);
      context.fillStyle = scheme.text;
    }
    names = { band, narrowed: view.narrowed, scheme };
    return band;
  }

  // The decals on each cell, and its slot where there is room.
  function cellTexts(context) {
    context.textBaseline = "alphabetic";
    context.lineWidth = 2;
    context.lineJoin = "round";
    const end = Math.min(blocks, Math.ceil(view.first + shown()));
    for (let block = Math.floor(view.first); block < end; block++) {
      const x = LEFT + (block - view.first) * view.width + UNIT + 1;
      for (let row = 0; row < Math.min(rows, expected[block]); row++) {
        const cell = firstCell[block] + row;
        if (!present[cell]) continue;
        let word = list[ownerOf[cell]].word;
        if (view.highlight >= 0 && ownerOf[cell] !== view.highlight) word = faded(word, scheme.background);
        const room = slot[cell] === LogModel.NO_SLOT ? "no slot" : `slot ${slot[cell]}`;
        const text = view.width >= 64 ? `${decals[cell]} · ${room}` : String(decals[cell]);
        const y = TOP + row * ROW + ROW - 1 - BAND - 2; // the baseline: no glyph of these reaches the flag bands
        context.strokeStyle = css(word); // a halo of the cell's colour keeps the text off the marks
        context.strokeText(text, x, y);
        context.fillStyle = ink(word);
        context.fillText(text, x, y);
      }
    }
  }

  function frame(context, { block, map }, outset, colour, dash) {
    if (block < Math.floor(view.first) || block >= view.first + shown()) return;
    const [left, right] = unitOf(block);
    context.setLineDash(dash);
    context.lineWidth = 2;
    context.strokeStyle = colour;
    context.strokeRect(left - outset, TOP + map * ROW - 1 - outset, Math.max(right - left, 4) + 2 * outset,
      ROW + 1 + 2 * outset);
    if (!outset) {
      context.lineWidth = 1;
      context.strokeStyle = "#fff";
      context.strokeRect(left + 1.5, TOP + map * ROW + 1.5, Math.max(right - left, 4) - 3, ROW - 4);
    }
    context.setLineDash([]);
  }

  // Said to assistive technology, and to tests, while a drawing goes on over several frames.
  const busy = (drawing) => {
    if (canvas.getAttribute("aria-busy") !== String(drawing)) canvas.setAttribute("aria-busy", String(drawing));
  };

  // Drawing waits for the next frame: input in between only moves the view.
  function redraw() {
    clamp();
    nextUnit = -1;
    busy(true);
    if (!pending) {
      pending = true;
      requestAnimationFrame(draw);
    }
  }

  function zoom(factor, atX = canvas.width / 2) {
    const column = view.first + (atX - LEFT) / view.width;
    view.width *= factor;
    clamp();
    view.first = column - (atX - LEFT) / view.width;
    redraw();
  }

  function show(block) {
    if (block < view.first || block + 1 > view.first + shown()) view.first = block + 0.5 - shown() / 2;
    redraw();
  }

  // The block under a point of a unit: the first one there whose cell holds a
  // mark, so that a mark seen in a wide view leads to its block.
  function blockAt(x, map) {
    let found = -1;
    forEachUnit((from, to, left, right) => {
      if (found >= 0 || x < left || x >= right + (view.width >= 4 ? 1 : 0)) return;
      found = from;
      for (let block = from; block < to; block++) {
        const cell = firstCell[block] + map;
        if (map < expected[block] && present[cell] && (cellFlags[cell] & 7 || changed[cell])) {
          found = block;
          return;
        }
      }
    });
    return found;
  }

  function moveCursor(block, map) {
    view.cursor = { block: Math.max(0, Math.min(blocks - 1, block)), map: Math.max(0, Math.min(rows - 1, map)) };
    show(view.cursor.block);
    handlers.cursor(view.cursor);
  }

  function choose(cell) {
    view.chosen = { ...cell };
    view.cursor = { ...cell };
    show(cell.block);
    handlers.select(view.chosen);
  }

  // The canvas's pixel under the mouse: from inside its border, which the
  // bounding box holds, and as wide as it is drawn.
  const pixel = (event) => {
    const box = canvas.getBoundingClientRect();
    return [((event.clientX - box.left - canvas.clientLeft) * canvas.width) / canvas.clientWidth,
      ((event.clientY - box.top - canvas.clientTop) * canvas.height) / canvas.clientHeight];
  };

  canvas.height = TOP + rows * ROW;
  view.width = fit();
  nameBand();
  canvas.onwheel = (event) => {
    const scale = event.deltaMode === 1 ? 16 : event.deltaMode === 2 ? plot() : 1;
    const sideways = Math.abs(event.deltaX) > Math.abs(event.deltaY);
    if (event.ctrlKey) {
      event.preventDefault();
      zoom(1.25 ** Math.max(-4, Math.min(4, (-event.deltaY * scale) / 100)), pixel(event)[0]);
    } else if (event.shiftKey || sideways) {
      event.preventDefault();
      view.first += ((sideways ? event.deltaX : event.deltaY) * scale) / view.width;
      redraw();
    }
    // A plain vertical wheel is the page's: it scrolls past the timeline.
  };
  canvas.onkeydown = (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    const { block, map } = view.cursor;
    const screen = Math.max(1, Math.floor(shown()));
    const moves = {
      ArrowLeft: [block - 1, map], ArrowRight: [block + 1, map], ArrowUp: [block, map - 1], ArrowDown: [block, map + 1],
      Home: [0, map], End: [blocks - 1, map], PageUp: [block - screen, map], PageDown: [block + screen, map],
    };
    if (moves[event.key]) {
      if (event.key.startsWith("Page")) view.first += event.key === "PageUp" ? -screen : screen;
      moveCursor(...moves[event.key]);
    } else if (event.key === "+" || event.key === "=" || event.key === "-") {
      zoom(event.key === "-" ? 0.5 : 2, (unitOf(block)[0] + unitOf(block)[1]) / 2);
      show(block);
    } else if (event.key === "Enter" || event.key === " ") {
      choose(view.cursor);
    } else {
      return;
    }
    event.preventDefault();
  };
  canvas.onfocus = () => {
    focused = true;
    if (view.cursor.block < view.first || view.cursor.block >= view.first + shown()) {
      view.cursor = { block: Math.min(blocks - 1, Math.ceil(view.first)), map: view.cursor.map };
    }
    redraw();
    handlers.cursor(view.cursor);
  };
  canvas.onblur = () => {
    focused = false;
    redraw();
  };
  canvas.onclick = (event) => {
    const [x, y] = pixel(event);
    const map = Math.floor((y - TOP) / ROW);
    if (map < 0 || map >= rows) return;
    if (x < LEFT) return handlers.mapName(map);
    const block = blockAt(x, map);
    if (block >= 0) choose({ block, map });
    return undefined;
  };
  redraw();

  return {
    zoom,
    whole: () => {
      view.width = fit();
      view.first = 0;
      redraw();
    },
    choose,
    highlight(owner) {
      view.highlight = owner;
      redraw();
    },
    narrow(map) {
      view.narrowed = map;
      redraw();
    },
    // The owners of the cells in view, as the last drawing counted them, by how many cells they hold there.
    ownersInView() {
      const found = [];
      for (let owner = 0; owner < seen.length; owner++) if (seen[owner] > 0) found.push([owner, seen[owner]]);
      return found.sort((a, b) => b[1] - a[1]);
    },
  };
}
