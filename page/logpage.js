// The log part of the page: the player's Crimsel.log read in chunks behind a
// progress bar, its start-up put into words beside its lines, its damage maps
// as a timeline with their events, and the lines it did not understand.
// Everything from the file is set as text.

import * as LogModel from "./logmodel.js";
import * as LogReading from "./logreading.js";
import * as Timeline from "./timeline.js";

export function startLogPart() {
  const $ = (id) => document.getElementById(id);
  const EVENTS_SHOWN = 300;
  let reading = 0; // the newest read; an older one that ends later is dropped
  let current = null;

  const hex = (word) => word.toString(16).toUpperCase().padStart(8, "0");
  const clock = (ms) => new Date(ms).toISOString().slice(11, 23);
  const element = (tag, text, className) => {
    const made = document.createElement(tag);
    if (text !== undefined) made.textContent = text;
    if (className) made.className = className;
    return made;
  };

  function eventWords(model, e) {
    const events = model.events;
    const block = events.block[e];
    const map = events.map[e];
    const from = events.from[e];
    const to = events.to[e];
    const name = `map[${String(map).padStart(2, "0")}]`;
    const owner = () => hex(model.cells.owner[model.blocks.firstCell[block] + map]);
    const what = {
      [LogModel.TAKEN]: () => `${name} taken by another owner (${hex(from)} to ${owner()}) with ${to} decals still on it`,
      [LogModel.CLEAR_RAISED]: () => `${name}: needsClear raised`,
      [LogModel.CLEAR_DONE]: () => `${name}: needsClear cleared`,
      [LogModel.WENT_INACTIVE]: () => `${name} went inactive`,
      [LogModel.MAP_COUNT]: () => `mapCount ${from} to ${to}`,
      [LogModel.RENDERED_COUNT]: () => `renderedCount ${from} to ${to}`,
    }[events.kind[e]]();
    return `block ${block + 1} (${clock(model.blocks.time[block])}): ${what}`;
  }

  function problems(result) {
    const model = result.model;
    const list = [];
    if (result.size === 0) list.push("The file is empty: there is nothing to read.");
    else if (result.nulBytes) {
      list.push("This file holds NUL bytes: it is UTF-16 text or binary, not a Crimsel.log, which is plain text.");
    } else if (result.lines === result.notUnderstood) {
      list.push("This is not a Crimsel.log: none of its lines is one that the plug-in writes." +
        (current.name.toLowerCase().endsWith(".ini") ? " (It looks like the settings file: give it to the part above.)" : ""));
    }
    if (result.cutAtEnd) {
      list.push("The last block is cut off: the log ends inside it (the game may have stopped while writing it).");
    }
    if (model.backwards > 0) {
      list.push(`Time stamps run backwards ${model.backwards} times (the clock was changed): the timeline keeps the ` +
        "order of the file.");
    }
    return list;
  }

  async function showBlock(model, { block, map }) {
    const b = model.blocks;
    $("block-title").textContent = `Block ${block + 1} of ${b.length}, ${b.after[block] ? "after" : "before"} ` +
      `UpdateRenderMaps, ${clock(b.time[block])}: mapCount ${b.mapCount[block]}, renderedCount ` +
      `${b.renderedCount[block]}${LogModel.whole(model, block) ? "" : ", cut off"}`;
    const cell = model.blocks.firstCell[block] + map;
    const c = model.cells;
    const flags = ["needsClear", "resetAfterRender", "inactive"].filter((_, bit) => c.flags[cell] & (1 << bit));
    $("cell-detail").textContent = map < model.blocks.expected[block] && c.present[cell]
      ? `map[${String(map).padStart(2, "0")}]: owner ${hex(c.owner[cell])}, ${c.decals[cell]} decals, rendered ` +
        `${c.rendered[cell]}, slot ${c.slot[cell] === LogModel.NO_SLOT ? "none" : c.slot[cell]}, flags 0x` +
        `${c.flags[cell].toString(16).toUpperCase().padStart(2, "0")}${flags.length ? ` (${flags.join(", ")})` : ""}`
      : `map[${String(map).padStart(2, "0")}] is not in this block.`;
    const file = current;
    const lines = await LogReading.blockLines(file, model, block);
    if (file !== current) return;
    const mark = `  map[${String(map).padStart(2, "0")}] `;
    $("block-lines").replaceChildren(...lines.map((line) =>
      element("div", line, line.slice(26).startsWith(mark) ? "selected" : undefined)));
  }

  function showTimeline(model) {
    const part = $("log-timeline-part");
    part.hidden = model.blocks.length === 0;
    if (part.hidden) return;
    const canvas = $("timeline");
    canvas.width = Math.max(320, Math.floor(canvas.parentElement.clientWidth));
    const timeline = Timeline.create(canvas, model);
    timeline.onSelect = (cell) => showBlock(model, cell);
    $("timeline-legend").replaceChildren(...timeline.owners.slice(0, 24).map(({ owner, css, cells }) => {
      const item = element("span", `${owner === 0 ? "no owner" : hex(owner)} (${cells})`, "owner");
      const swatch = element("span", undefined, "swatch");
      swatch.style.background = css;
      item.prepend(swatch);
      return item;
    }));
    if (timeline.owners.length > 24) $("timeline-legend").append(element("span", `and ${timeline.owners.length - 24} more owners`));
    const events = [];
    for (let e = 0; e < Math.min(model.events.length, EVENTS_SHOWN); e++) {
      const button = element("button", eventWords(model, e));
      button.type = "button";
      button.addEventListener("click", () => timeline.select(model.events.block[e], model.events.map[e]));
      const item = element("li");
      item.append(button);
      events.push(item);
    }
    $("log-events").replaceChildren(...events);
    $("log-events-more").textContent = model.events.length > EVENTS_SHOWN
      ? `and ${model.events.length - EVENTS_SHOWN} more events`
      : `${model.events.length} ${model.events.length === 1 ? "event" : "events"}`;
    $("timeline-zoom-in").onclick = () => timeline.zoom(2);
    $("timeline-zoom-out").onclick = () => timeline.zoom(0.5);
    $("timeline-whole").onclick = () => timeline.whole();
    $("block-title").textContent = "Select a cell of the timeline to see its block's lines.";
    $("cell-detail").textContent = "";
    $("block-lines").replaceChildren();
  }

  function show(file, result) {
    const model = result.model;
    $("log-name").textContent = file.name;
    $("log-not-understood").textContent = `${result.notUnderstood} lines not understood`;
    $("log-blocks").textContent = `${model.blocks.length} blocks, ${LogModel.mapsSeen(model)} maps`;
    $("log-executions").textContent = `${model.executions.length} execution decals`;
    $("log-problems").replaceChildren(...problems(result).map((text) => element("li", text)));
    $("log-startup").querySelector("tbody").replaceChildren(...result.startup.map(({ kind, words, line }) => {
      const row = element("tr", undefined, kind);
      row.append(element("td", words), element("td", line));
      return row;
    }));
    $("log-startup").hidden = result.startup.length === 0;
    const unknown = $("log-unknown");
    unknown.hidden = true;
    unknown.replaceChildren();
    $("log-show-unknown").hidden = result.notUnderstood === 0;
    $("log-show-unknown").onclick = async () => {
      const lines = [];
      for (const offset of result.notUnderstoodOffsets) lines.push(element("div", (await LogReading.lineAt(file, offset)).slice(0, 300)));
      unknown.replaceChildren(...lines);
      if (result.notUnderstood > lines.length) unknown.append(element("div", `and ${result.notUnderstood - lines.length} more`));
      unknown.hidden = false;
    };
    $("log-report").hidden = false;
    showTimeline(model);
  }

  async function readLog(file) {
    const mine = ++reading;
    current = file;
    const progress = $("log-progress");
    progress.value = 0;
    progress.hidden = false;
    $("log-report").hidden = true;
    const result = await LogReading.read(file, (fraction) => {
      if (mine === reading) progress.value = fraction;
    });
    if (mine !== reading) return;
    progress.hidden = true;
    show(file, result);
  }

  const input = $("log-file");
  input.addEventListener("change", () => {
    if (input.files.length > 0) readLog(input.files[0]);
  });
  document.addEventListener("drop", (event) => {
    const file = event.dataTransfer.files[0];
    if (file && file.name.toLowerCase().endsWith(".log")) readLog(file);
  });
}
