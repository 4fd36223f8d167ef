// The First, Previous, Next and Last buttons under a list shown a page at a
// time, in a group that shows only when there is more than one page.

import { byId } from "./dom.js";

const MOVES = [() => 0, (/** @type {number} */ page) => page - 1, (/** @type {number} */ page) => page + 1,
  () => Infinity];

/**
 * Wires the group of this id, whose buttons' ids are the list's name and "-first", "-previous", "-next", "-last".
 * @param {string} name
 * @param {(to: (page: number) => number) => unknown} turn turns the list to the page that `to` makes of the
 *   current one (the list keeps it within its pages)
 * @returns {(page: number, pages: number) => void} shows the group for the page turned to: the buttons that lead
 *   nowhere from it disabled, and the focus, if it was on one of them, moved to the nearest that still leads
 *   somewhere, so that a keyboard stays where it was
 */
export function pageButtons(name, turn) {
  const buttons = ["first", "previous", "next", "last"].map((end) => byId(`${name}-${end}`, HTMLButtonElement));
  buttons.forEach((button, i) => (button.onclick = () => turn(MOVES[i])));
  return (page, pages) => {
    byId(`${name}-pages`, HTMLElement).hidden = pages === 1;
    const focused = buttons.indexOf(/** @type {HTMLButtonElement} */ (document.activeElement));
    buttons.forEach((each, i) => (each.disabled = i < 2 ? page === 0 : page >= pages - 1));
    if (focused < 0 || !buttons[focused].disabled) return;
    const nearest = focused < 2 ? buttons.slice(2).find((each) => !each.disabled) :
      buttons.slice(0, 2).reverse().find((each) => !each.disabled);
    nearest?.focus();
  };
}
