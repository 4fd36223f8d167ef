// The few DOM helpers that the page's parts share: an element of the page by
// its id or a selector, of the kind expected; words set as text, long names
// with their places to break; a new element holding text.

import { breakable } from "./breaks.js";

/**
 * The page's element of this id, of the kind that the code expects.
 * @template {Element} T
 * @param {string} id
 * @param {{ new (): T, prototype: T }} kind
 * @returns {T}
 */
export function byId(id, kind) {
  const found = document.getElementById(id);
  if (!(found instanceof kind)) throw new Error(`#${id} is not the page's ${kind.name}`);
  return found;
}

/**
 * The page's first element that the selector finds, of the kind that the code expects.
 * @template {Element} T
 * @param {string} selector
 * @param {{ new (): T, prototype: T }} kind
 * @returns {T}
 */
export function first(selector, kind) {
  const found = document.querySelector(selector);
  if (!(found instanceof kind)) throw new Error(`${selector} is not the page's ${kind.name}`);
  return found;
}

/**
 * Words set as the text of the page's element of this id.
 * @param {string} id
 * @param {string} text
 */
export function setText(id, text) {
  byId(id, HTMLElement).textContent = text;
}

/**
 * A new element, its text (only ever set as text) and its class.
 * @template {keyof HTMLElementTagNameMap} K
 * @param {K} tag
 * @param {string} [text]
 * @param {string} [className]
 * @returns {HTMLElementTagNameMap[K]}
 */
export function element(tag, text, className) {
  const made = document.createElement(tag);
  if (text !== undefined) made.textContent = text;
  if (className) made.className = className;
  return made;
}

/**
 * Text set as the text of an element, with the places where its long names may break marked.
 * @template {Element} T
 * @param {T} target
 * @param {string} text
 * @returns {T} the element
 */
export function setBreakable(target, text) {
  target.replaceChildren(...breakable(text).flatMap((piece, i) =>
    (i === 0 ? [piece] : [document.createElement("wbr"), piece])));
  return target;
}
