// ESLint's recommended rules over the page's modules and their tests: the
// page's script runs in the browser and its worker; the tests run in Node and
// hand functions to the browser.
import js from "@eslint/js";
import globals from "globals";

export default [
  js.configs.recommended,
  {
    files: ["page/**/*.js"],
    languageOptions: { globals: { ...globals.browser, ...globals.worker } },
    // A function one can hold: its whole text, nested functions, blanks and comments included.
    rules: { "max-lines-per-function": ["error", { max: 80 }] },
  },
  { files: ["page/*.mjs"], languageOptions: { globals: globals.node } },
  { files: ["tests/page/**/*.mjs"], languageOptions: { globals: { ...globals.node, ...globals.browser } } },
  { ignores: ["**/node_modules/"] },
];
