// The events list: every event of the log, its execution decals and its
// blocks cut off, or the events of one map, a page at a time; choosing one
// marks it and leads the timeline to its cell.

import { byId, element, setText } from "./dom.js";
import {
  EXECUTION, cellOf, entryIndex, entryKind, eventsOf, kindCounts, pageCount, pageRange, pageWithin,
} from "./eventpages.js";
import * as LogModel from "./logmodel.js";
import * as LogReading from "./logreading.js";
import { entryWords, eventsShown } from "./logwords.js";
import { pageButtons } from "./pagebuttons.js";
import { mapName } from "./timelineview.js";

/** @typedef {import("./pagemodel.js").PageModel} Model */
/** @typedef {{ block: number, map: number }} Cell */

/**
 * The list of this model's events, of all maps, with its pages' buttons and
 * its choice of map.
 * @param {Blob} file the log, whose execution decal lines are read for their words
 * @param {Model} model
 * @param {{ choose: (cell: Cell) => void, narrow: (map: number) => void }} timeline
 *   what the timeline does as an event is chosen or the list narrowed
 * @returns {{ narrow: (map: number) => void, narrowedTo: () => number, grow: () => void }}
 *   narrows the list to a map's events (-1 for all), and says to which; shows the list of the model as it grew,
 *   at the same page
 */
export function create(file, model, timeline) {
  const list = byId("log-events", HTMLOListElement);
  const select = byId("events-map", HTMLSelectElement);
  /** @type {{ map: number, listed: Uint32Array, kinds: number[], page: number, chosen: number }} */
  const state = { map: -1, listed: new Uint32Array(0), kinds: [0, 0, 0], page: 0, chosen: -1 };

  function render() {
    const total = state.listed.length;
    const range = pageRange(state.page, total);
    // The item with the focus keeps it where the page is made again as the log grows.
    const focused = [...list.querySelectorAll("button")].findIndex((button) => button === document.activeElement);
    list.replaceChildren(...items(file, model, state.listed.subarray(range.from, range.to), choose));
    if (focused >= 0) list.querySelectorAll("button")[focused]?.focus({ preventScroll: true });
    mark(list, state.chosen);
    const pages = pageCount(total);
    setText("log-events-more", eventsShown(range, state.page, pages, state.kinds, state.map));
    showPages(state.page, pages);
  }

  /** @param {number} entry */
  function choose(entry) {
    state.chosen = entry;
    mark(list, entry);
    list.querySelector(".chosen")?.scrollIntoView({ block: "nearest" });
    timeline.choose(cellOf(model, entry));
  }

  /** @param {number} map */
  function narrow(map) {
    state.map = map;
    // All maps' entries come made with the model.
    state.listed = map < 0 ? model.listed.entries : eventsOf(model, map);
    state.kinds = map < 0 ? model.listed.kinds : kindCounts(state.listed);
    state.page = 0;
    select.value = String(map);
    timeline.narrow(map);
    render();
  }

  const showPages = pageButtons("events", (to) => {
    state.page = pageWithin(to(state.page), state.listed.length);
    render();
  });
  const grow = () => {
    // Only the list's end changes as the log grows: the items of an earlier page are kept as they are.
    const onLast = state.page >= pageCount(state.listed.length) - 1;
    state.listed = state.map < 0 ? model.listed.entries : eventsOf(model, state.map);
    state.kinds = state.map < 0 ? model.listed.kinds : kindCounts(state.listed);
    state.page = pageWithin(state.page, state.listed.length);
    const options = mapOptions(model);
    if (options.map((option) => option.value).join() !== [...select.options].map((option) => option.value).join()) {
      select.replaceChildren(...options);
      select.value = String(state.map);
    }
    if (onLast) return render();
    const pages = pageCount(state.listed.length);
    setText("log-events-more", eventsShown(pageRange(state.page, state.listed.length), state.page, pages,
      state.kinds, state.map));
    showPages(state.page, pages);
  };
  select.replaceChildren(...mapOptions(model));
  select.onchange = () => narrow(Number(select.value));
  narrow(-1);
  return { narrow, narrowedTo: () => state.map, grow };
}

/**
 * A page's items: each entry a button that chooses it; an execution decal's
 * words in full once its line is read.
 * @param {Blob} file
 * @param {Model} model
 * @param {Uint32Array} entries
 * @param {(entry: number) => void} choose
 * @returns {HTMLLIElement[]}
 */
function items(file, model, entries, choose) {
  /** @type {Array<() => void>} */
  const reads = [];
  const made = Array.from(entries, (entry) => {
    const button = element("button", entryWords(model, entry));
    button.type = "button";
    button.onclick = () => choose(entry);
    if (entryKind(entry) === EXECUTION) {
      reads.push(() => LogReading.lineAt(file, model.executions.offset[entryIndex(entry)]).then((line) => {
        button.textContent = entryWords(model, entry, line);
      }));
    }
    const item = element("li");
    item.dataset.event = String(entry);
    item.append(button);
    return item;
  });
  // The execution decals' lines are read in a task after the one that makes the page of the list.
  if (reads.length > 0) setTimeout(() => reads.forEach((read) => read()));
  return made;
}

/**
 * The chosen event's item marked, in place: a button that has the focus keeps it.
 * @param {HTMLOListElement} list
 * @param {number} chosen
 */
function mark(list, chosen) {
  for (const item of list.querySelectorAll("li")) {
    const isChosen = Number(item.dataset.event) === chosen;
    item.classList.toggle("chosen", isChosen);
    if (isChosen) item.firstElementChild?.setAttribute("aria-current", "true");
    else item.firstElementChild?.removeAttribute("aria-current");
  }
}

/**
 * All maps, then each map that the log showed.
 * @param {Model} model
 * @returns {HTMLOptionElement[]}
 */
function mapOptions(model) {
  const options = [element("option", "all maps")];
  options[0].value = "-1";
  for (let map = 0; map < LogModel.MAX_MAPS; map++) {
    if (!model.mapsSeen[map]) continue;
    const option = element("option", `${mapName(map)} only`);
    option.value = String(map);
    options.push(option);
  }
  return options;
}
