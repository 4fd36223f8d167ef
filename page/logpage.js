// The log part of the page: the player's Crimsel.log read in chunks behind a
// progress bar, its start-up put into words beside its lines, its damage maps
// as a timeline with their events, and the lines it did not understand.
// Everything from the file is set as text.

import * as LogModel from "./logmodel.js";
import * as LogReading from "./logreading.js";
import * as LogWorker from "./logworker.js";
import * as Timeline from "./timeline.js";

export function startLogPart() {
  const $ = (id) => document.getElementById(id);
  const EVENTS_PAGE = 100;
  const LEGEND_OWNERS = 12;
  const EXECUTIONS_SHOWN = 200;
  let reading = 0; // the newest read; an older one that ends later is dropped
  let current = null;

  const hex = (word) => word.toString(16).toUpperCase().padStart(8, "0");
  const clock = (ms) => new Date(ms).toISOString().slice(11, 23);
  const nextTask = () => new Promise((resolve) => setTimeout(resolve));
  const count = (n) => String(n).replace(/\B(?=(\d{3})+$)/g, ",");
  // A count and its noun, one or many.
  const some = (n, noun) => `${count(n)} ${noun}${n === 1 ? "" : "s"}`;
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
    const name = Timeline.mapName(map);
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
      const times = model.backwards === 1 ? "once" : model.backwards === 2 ? "twice" : `${count(model.backwards)} times`;
      list.push(`Time stamps run backwards ${times} (the clock was changed): the timeline keeps the ` +
        "order of the file.");
    }
    return list;
  }

  // What a cell holds, in words.
  function cellWords(model, block, map) {
    const cell = model.blocks.firstCell[block] + map;
    const c = model.cells;
    if (map >= model.blocks.expected[block] || !c.present[cell]) return `${Timeline.mapName(map)} is not in this block.`;
    const flags = ["needsClear", "resetAfterRender", "inactive"].filter((_, bit) => c.flags[cell] & (1 << bit));
    return `${Timeline.mapName(map)}: owner ${hex(c.owner[cell])}, ${c.decals[cell]} decals, rendered ` +
      `${c.rendered[cell]}, slot ${c.slot[cell] === LogModel.NO_SLOT ? "none" : c.slot[cell]}, flags 0x` +
      `${c.flags[cell].toString(16).toUpperCase().padStart(2, "0")}${flags.length ? ` (${flags.join(", ")})` : ""}`;
  }

  async function showBlock(model, { block, map }) {
    const b = model.blocks;
    $("block-title").textContent = `Block ${block + 1} of ${b.length}, ${b.after[block] ? "after" : "before"} ` +
      `UpdateRenderMaps, ${clock(b.time[block])}: mapCount ${b.mapCount[block]}, renderedCount ` +
      `${b.renderedCount[block]}${LogModel.whole(model, block) ? "" : ", cut off"}`;
    $("cell-detail").textContent = cellWords(model, block, map);
    const file = current;
    const lines = await LogReading.blockLines(file, model, block);
    if (file !== current) return;
    const mark = `  ${Timeline.mapName(map)} `;
    $("block-lines").replaceChildren(...lines.map((line) =>
      element("div", line, line.slice(26).startsWith(mark) ? "selected" : undefined)));
  }

  // The events list: every event of the log, or of one map, a page at a time;
  // choosing one marks it and leads the timeline to its cell, once made.
  function eventList(model, made) {
    const kinds = model.events.kind;
    const state = { map: -1, listed: null, page: 0, chosen: -1 };
    const ofMap = (e) => kinds[e] !== LogModel.MAP_COUNT && kinds[e] !== LogModel.RENDERED_COUNT &&
      model.events.map[e] === state.map;
    const pages = () => Math.max(1, Math.ceil(state.listed.length / EVENTS_PAGE));

    function render() {
      const from = state.page * EVENTS_PAGE;
      const to = Math.min(state.listed.length, from + EVENTS_PAGE);
      const items = [];
      for (let i = from; i < to; i++) {
        const e = state.listed[i];
        const button = element("button", eventWords(model, e));
        button.type = "button";
        button.onclick = () => choose(e);
        const item = element("li");
        item.dataset.event = String(e);
        item.append(button);
        items.push(item);
      }
      $("log-events").replaceChildren(...items);
      mark();
      const total = state.listed.length;
      const whose = state.map < 0 ? "" : ` of ${Timeline.mapName(state.map)}`;
      $("log-events-more").textContent = total === 0 ? `No events${whose}.` : pages() === 1 ? `${some(total, "event")}${whose}.`
        : `Events ${count(from + 1)} to ${count(to)} of ${count(total)}${whose}, page ${count(state.page + 1)} of ` +
          `${count(pages())}.`;
      document.querySelector(".events-pages").hidden = pages() === 1;
      $("events-first").disabled = $("events-previous").disabled = state.page === 0;
      $("events-next").disabled = $("events-last").disabled = state.page >= pages() - 1;
    }

    // The chosen event's item marked, in place: a button that has the focus keeps it.
    function mark() {
      for (const item of $("log-events").children) {
        const chosen = Number(item.dataset.event) === state.chosen;
        item.classList.toggle("chosen", chosen);
        if (chosen) item.firstChild.setAttribute("aria-current", "true");
        else item.firstChild.removeAttribute("aria-current");
      }
    }

    function choose(e) {
      state.chosen = e;
      mark();
      $("log-events").querySelector(".chosen").scrollIntoView({ block: "nearest" });
      made.timeline?.choose({ block: model.events.block[e], map: model.events.map[e] });
    }

    function narrow(map) {
      state.map = map;
      const listed = new Uint32Array(model.events.length);
      let length = 0;
      for (let e = 0; e < model.events.length; e++) if (map < 0 || ofMap(e)) listed[length++] = e;
      state.listed = listed.subarray(0, length);
      state.page = 0;
      $("events-map").value = String(map);
      made.timeline?.narrow(map);
      render();
    }

    const turn = (page) => () => {
      state.page = Math.max(0, Math.min(pages() - 1, page()));
      render();
    };
    $("events-first").onclick = turn(() => 0);
    $("events-previous").onclick = turn(() => state.page - 1);
    $("events-next").onclick = turn(() => state.page + 1);
    $("events-last").onclick = turn(() => pages() - 1);
    const options = [element("option", "all maps")];
    options[0].value = "-1";
    for (let map = 0; map < LogModel.MAX_MAPS; map++) {
      if (!model.mapsSeen[map]) continue;
      const option = element("option", `${Timeline.mapName(map)} only`);
      option.value = String(map);
      options.push(option);
    }
    $("events-map").replaceChildren(...options);
    $("events-map").onchange = () => narrow(Number($("events-map").value));
    narrow(-1);
    return { narrow };
  }

  // The owners of the cells in view, the most frequent first, and how many in
  // all: a short legend even with thousands of owners. Choosing one highlights
  // its cells.
  function ownerLegend(timeline, owners) {
    let highlighted = -1;
    let shownKey = "";
    function render() {
      const inView = timeline.ownersInView();
      const top = inView.slice(0, LEGEND_OWNERS).map(([index]) => index);
      if (highlighted >= 0 && !top.includes(highlighted)) top.push(highlighted);
      const key = `${top.join(",")}/${highlighted}/${inView.length}`;
      if (key === shownKey) return;
      shownKey = key;
      $("timeline-legend-title").textContent = `Owners of the cells in view (${count(Math.min(inView.length, top.length))} ` +
        `of ${count(inView.length)} in view, ${count(owners.length)} in the log); choose one to highlight its cells:`;
      $("timeline-owners").replaceChildren(...top.map((index) => {
        const { owner, css, cells } = owners[index];
        const item = element("button", `${owner === 0 ? "no owner" : hex(owner)} (${count(cells)})`, "owner");
        item.type = "button";
        item.setAttribute("aria-pressed", String(index === highlighted));
        const swatch = element("span", undefined, "swatch");
        swatch.style.background = css;
        item.prepend(swatch);
        item.onclick = () => {
          highlighted = index === highlighted ? -1 : index;
          timeline.highlight(highlighted);
          render();
        };
        return item;
      }));
    }
    return render;
  }

  // The timeline, for the events list that is already there (made == { timeline }).
  function showTimeline(model, summary, events, made) {
    const canvas = $("timeline");
    canvas.width = Math.max(320, Math.floor(canvas.clientWidth)); // as wide as it shows, inside its border
    let legend = () => {};
    const timeline = Timeline.create(canvas, model, summary, {
      select: (cell) => showBlock(model, cell),
      cursor: ({ block, map }) => {
        $("timeline-cursor").textContent = `Cursor: block ${count(block + 1)} of ${count(model.blocks.length)} ` +
          `(${clock(model.blocks.time[block])}), ${cellWords(model, block, map)}`;
      },
      // A row's name narrows the events to its map; the same name again widens them to all.
      mapName: (map) => events.narrow(map === Number($("events-map").value) ? -1 : map),
      view: () => legend(),
    });
    made.timeline = timeline;
    legend = ownerLegend(timeline, summary.list);
    $("timeline-zoom-in").onclick = () => timeline.zoom(2);
    $("timeline-zoom-out").onclick = () => timeline.zoom(0.5);
    $("timeline-whole").onclick = () => timeline.whole();
    $("timeline-cursor").textContent = "";
    $("block-title").textContent = "Choose a cell of the timeline to see its block's lines.";
    $("cell-detail").textContent = "";
    $("block-lines").replaceChildren();
  }

  // A log of execution decals and no blocks: the decals themselves, each in a
  // line of words, read back from the file.
  async function showExecutions(file, model) {
    const list = $("log-execution-list");
    const x = model.executions;
    list.hidden = model.blocks.length > 0 || x.length === 0;
    list.replaceChildren();
    if (list.hidden) return;
    const items = [];
    for (let i = 0; i < Math.min(x.length, EXECUTIONS_SHOWN); i++) {
      const line = await LogReading.lineAt(file, x.offset[i]);
      if (file !== current) return;
      const field = (name) => new RegExp(` ${name}=(\\S+)`).exec(line)?.[1] ?? "?";
      const texture = / texture=(.*)$/.exec(line)?.[1] ?? "?";
      items.push(element("li", `${line.slice(12, 24)}: ${x.splatter[i] ? "splatter" : "victim"} decal ` +
        `${field("index")} of execution ${field("execId")}, stage ${field("stage")}, texture ${texture}`));
    }
    if (x.length > EXECUTIONS_SHOWN) items.push(element("li", `and ${count(x.length - EXECUTIONS_SHOWN)} more`));
    list.replaceChildren(...items);
  }

  async function show(file, result, summary) {
    const model = result.model;
    $("log-not-understood").textContent = `${some(result.notUnderstood, "line")} not understood`;
    $("log-blocks").textContent = `${some(model.blocks.length, "block")}, ${some(LogModel.mapsSeen(model), "map")}`;
    $("log-executions").textContent = some(model.executions.length, "execution decal");
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
    const executionsShown = showExecutions(file, model);
    $("log-report").hidden = false;
    // The events, then the timeline, each in a task and laid out in a frame of
    // its own, so that nothing keeps the page from answering for long; the
    // file's name shows once all is there.
    const shown = reading;
    await nextTask();
    if (shown !== reading) return;
    const part = $("log-timeline-part");
    part.hidden = model.blocks.length === 0;
    const made = { timeline: null };
    const events = part.hidden ? null : eventList(model, made);
    await nextTask();
    if (shown !== reading) return;
    if (events) showTimeline(model, summary, events, made);
    await executionsShown;
    if (shown !== reading) return;
    $("log-name").textContent = file.name;
  }

  async function readLog(file) {
    const mine = ++reading;
    current = file;
    const progress = $("log-progress");
    progress.value = 0;
    progress.hidden = false;
    $("log-report").hidden = true;
    const { result, summary } = await LogWorker.readInWorker(file, (fraction) => {
      if (mine === reading) progress.value = fraction;
    });
    if (mine !== reading) return;
    progress.hidden = true;
    show(file, result, summary);
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
