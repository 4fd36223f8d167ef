// Draws the damage maps' timeline: one column per block in file order, one row
// per map index, a cell in its owner's colour with marks for its flags; above
// the rows, a strip for before/after (an unfinished block in red), one for the
// events and one for the execution decals. Only what is in view is drawn, into
// one ImageData, so that a log of ten thousand blocks scrolls and zooms at once.

import * as LogModel from "./logmodel.js";
import { marks, owners, rgba, rowCount } from "./summary.js";

const ROW = 11;
const LEFT = 52; // the band of map names on the left
const STRIP = 8;
const LABELS = 14; // the band of time stamps at the top
const TOP = LABELS + 3 * (STRIP + 1);
const MAX_COLUMN = 48;

const BACKGROUND = rgba(245, 245, 247);
const EMPTY = rgba(226, 226, 232);
const BEFORE = rgba(190, 190, 196);
const AFTER = rgba(90, 90, 100);
const UNFINISHED = rgba(200, 30, 30);
const EVENT = rgba(230, 120, 0);
const EXECUTION = rgba(140, 0, 160);
const CLEAR_MARK = rgba(255, 255, 255);
const RESET_MARK = rgba(255, 220, 0);

const darker = (word) => (word & 0xff000000) | ((word >>> 1) & 0x7f7f7f);

export function create(canvas, model) {
  const blocks = model.blocks.length;
  const rows = rowCount(model);
  const { ownerOf, list } = owners(model);
  const columnMarks = marks(model);
  const view = { first: 0, width: 1, selected: null, onSelect: () => {} };
  let pending = false;
  let image = null; // drawn into anew each frame, made again only for a new size

  const plot = () => canvas.width - LEFT;
  const fit = () => Math.max(Math.min(plot() / Math.max(blocks, 1), MAX_COLUMN), 0.01);
  const shown = () => plot() / view.width;
  const clamp = () => {
    view.width = Math.min(MAX_COLUMN, Math.max(fit(), view.width));
    view.first = Math.max(0, Math.min(blocks - shown(), view.first));
  };

  function draw() {
    pending = false;
    const context = canvas.getContext("2d");
    const { width, height } = canvas;
    if (!image || image.width !== width || image.height !== height) image = context.createImageData(width, height);
    const pixels = new Uint32Array(image.data.buffer);
    pixels.fill(BACKGROUND);
    const gap = view.width >= 4 ? 1 : 0;
    for (let x = LEFT; x < width; x++) {
      const column = Math.floor(view.first + (x - LEFT) / view.width);
      if (column >= blocks) break;
      const left = Math.floor((column - view.first) * view.width);
      const inColumn = x - LEFT - Math.max(0, left);
      const columnWidth = Math.max(1, Math.floor(view.width));
      if (gap && inColumn >= columnWidth - gap) continue;
      const whole = LogModel.whole(model, column);
      const kind = !whole ? UNFINISHED : model.blocks.after[column] ? AFTER : BEFORE;
      for (let y = LABELS; y < LABELS + STRIP; y++) pixels[y * width + x] = kind;
      if (columnMarks[column] & 1) for (let y = LABELS + STRIP + 1; y < LABELS + 2 * STRIP + 1; y++) pixels[y * width + x] = EVENT;
      if (columnMarks[column] & 2) {
        for (let y = LABELS + 2 * STRIP + 2; y < LABELS + 3 * STRIP + 2; y++) pixels[y * width + x] = EXECUTION;
      }
      const expected = model.blocks.expected[column];
      const firstCell = model.blocks.firstCell[column];
      for (let row = 0; row < rows; row++) {
        let word = EMPTY;
        let flags = 0;
        if (row < expected && model.cells.present[firstCell + row]) {
          const cell = firstCell + row;
          flags = model.cells.flags[cell];
          word = list[ownerOf[cell]].word;
          if (flags & 4) word = darker(word);
        }
        const top = TOP + row * ROW;
        for (let y = top; y < top + ROW - 1; y++) pixels[y * width + x] = word;
        if (view.width >= 4) {
          if (flags & 1 && inColumn < 2) pixels[(top + 1) * width + x] = pixels[top * width + x] = CLEAR_MARK;
          if (flags & 2) pixels[(top + ROW - 2) * width + x] = RESET_MARK;
        }
      }
    }
    context.putImageData(image, 0, 0);
    labels(context);
  }

  function labels(context) {
    context.fillStyle = "#333";
    context.font = "10px sans-serif";
    context.textBaseline = "top";
    const every = Math.max(1, Math.ceil(110 / view.width));
    for (let column = Math.ceil(view.first / every) * every; column < Math.min(blocks, view.first + shown()); column += every) {
      const x = LEFT + (column - view.first) * view.width;
      context.fillText(new Date(model.blocks.time[column]).toISOString().slice(11, 23), x + 1, 1);
    }
    context.textBaseline = "middle";
    context.clearRect(0, LABELS, LEFT - 2, canvas.height - LABELS);
    for (let row = 0; row < rows; row++) {
      context.fillText(`map[${String(row).padStart(2, "0")}]`, 2, TOP + row * ROW + ROW / 2);
    }
    context.font = "8px sans-serif";
    for (const [i, name] of ["block", "events", "decals"].entries()) {
      context.fillText(name, 2, LABELS + i * (STRIP + 1) + STRIP / 2);
    }
    if (view.width >= 16) {
      context.textBaseline = "middle";
      context.font = "8px sans-serif";
      context.fillStyle = "#fff";
      const end = Math.min(blocks, Math.ceil(view.first + shown()));
      for (let column = Math.floor(view.first); column < end; column++) {
        for (let row = 0; row < Math.min(rows, model.blocks.expected[column]); row++) {
          const cell = model.blocks.firstCell[column] + row;
          if (!model.cells.present[cell]) continue;
          const slot = model.cells.slot[cell];
          const text = view.width >= 28 ? `${model.cells.decals[cell]} s${slot === LogModel.NO_SLOT ? "-" : slot}`
            : String(model.cells.decals[cell]);
          context.fillText(text, LEFT + (column - view.first) * view.width + 3, TOP + row * ROW + ROW / 2);
        }
      }
    }
    if (view.selected) {
      const { block, map } = view.selected;
      context.strokeStyle = "#000";
      context.lineWidth = 2;
      context.strokeRect(LEFT + (block - view.first) * view.width, TOP + map * ROW - 1, Math.max(view.width, 2), ROW + 1);
    }
  }

  // Drawing waits for the next frame: input in between only moves the view.
  function redraw() {
    clamp();
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
    if (block < view.first || block >= view.first + shown()) view.first = block - shown() / 2;
    redraw();
  }

  function cellAt(x, y) {
    const block = Math.floor(view.first + (x - LEFT) / view.width);
    const map = Math.floor((y - TOP) / ROW);
    if (x < LEFT || block < 0 || block >= blocks || map < 0 || map >= rows) return null;
    return { block, map };
  }

  canvas.height = TOP + rows * ROW;
  view.width = fit();
  canvas.addEventListener("wheel", (event) => {
    event.preventDefault();
    if (event.ctrlKey || event.altKey) {
      const box = canvas.getBoundingClientRect();
      zoom(event.deltaY < 0 ? 1.25 : 0.8, ((event.clientX - box.left) * canvas.width) / box.width);
    } else {
      view.first += (event.deltaX || event.deltaY) / view.width / 2;
      redraw();
    }
  }, { passive: false });
  canvas.addEventListener("keydown", (event) => {
    const step = { ArrowLeft: -1, ArrowRight: 1, PageUp: -10, PageDown: 10 }[event.key];
    if (step) view.first += (step * shown()) / 20;
    else if (event.key === "+" || event.key === "=") return zoom(1.25);
    else if (event.key === "-") return zoom(0.8);
    else return undefined;
    event.preventDefault();
    return redraw();
  });
  canvas.addEventListener("click", (event) => {
    const box = canvas.getBoundingClientRect();
    const cell = cellAt(((event.clientX - box.left) * canvas.width) / box.width,
      ((event.clientY - box.top) * canvas.height) / box.height);
    if (!cell) return;
    view.selected = cell;
    redraw();
    view.onSelect(cell);
  });
  redraw();

  return {
    owners: list,
    zoom,
    whole: () => {
      view.width = fit();
      view.first = 0;
      redraw();
    },
    select(block, map) {
      view.selected = { block, map };
      show(block);
      view.onSelect(view.selected);
    },
    set onSelect(handler) {
      view.onSelect = handler;
    },
  };
}
