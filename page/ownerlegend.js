// The owners of the cells in view, the most frequent first, and how many in
// all: a short legend even with thousands of owners. Choosing one highlights
// its cells.

import { byId, element, setText } from "./dom.js";
import { legendTitle, ownerWords } from "./logwords.js";
import { legendOwners } from "./ownerranking.js";
import { ownerAt } from "./summary.js";

/** @typedef {import("./summary.js").Owner} Owner */
/** @typedef {import("./summary.js").Owners} Owners */

/**
 * The legend of a timeline.
 * @param {{ ownersInView: () => Array<[number, number]>, highlight: (owner: number) => void }} timeline
 * @param {() => Owners} ownersNow every owner of the log, as it now is
 * @returns {() => void} shows the legend of the view as it now is
 */
export function create(timeline, ownersNow) {
  let highlighted = -1;
  let shownKey = "";
  function render() {
    const owners = ownersNow();
    const inView = timeline.ownersInView();
    const listed = legendOwners(inView, highlighted);
    const key = `${listed.join(",")}/${highlighted}/${inView.length}`;
    if (key === shownKey) return;
    shownKey = key;
    setText("timeline-legend-title", legendTitle(listed.length, inView.length, owners.length));
    const place = byId("timeline-owners", HTMLElement);
    const focused = place.contains(document.activeElement) ? document.activeElement?.getAttribute("data-owner") : null;
    const buttons = listed.map((index) => ownerButton(ownerAt(owners, index), index, index === highlighted, () => {
      highlighted = index === highlighted ? -1 : index;
      timeline.highlight(highlighted);
      render();
    }));
    place.replaceChildren(...buttons);
    // The owner just pressed by a key keeps the focus as the legend is made again.
    buttons.find((button) => button.dataset.owner === focused)?.focus();
  }
  return render;
}

/**
 * @param {Owner} owner
 * @param {number} index the owner's among the log's
 * @param {boolean} pressed
 * @param {() => void} onclick
 * @returns {HTMLButtonElement}
 */
function ownerButton({ owner, css, cells }, index, pressed, onclick) {
  const button = element("button", ownerWords(owner, cells), "owner");
  button.type = "button";
  button.dataset.owner = String(index);
  button.setAttribute("aria-pressed", String(pressed));
  const swatch = element("span", undefined, "swatch");
  swatch.style.background = css;
  button.prepend(swatch);
  button.onclick = onclick;
  return button;
}
