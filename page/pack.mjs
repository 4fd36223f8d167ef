// Packs the players' page into one HTML file that opens from a folder: the
// style inline, and the modules bundled into one classic inline script, each
// allowed by its hash in the page's Content-Security-Policy, which allows
// nothing else. The INI that the plug-in writes on its first start, which the
// build made by running it, goes in as a JSON data block, which runs nothing.
// Usage: node pack.mjs <output.html> <first-start INI>
import { createHash } from "node:crypto";
import { readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";
import { buildSync } from "esbuild";

const here = dirname(fileURLToPath(import.meta.url));
/** @param {string} name */
const read = (name) => readFileSync(join(here, name), "utf8");
/** @param {string} text */
const hash = (text) => `sha256-${createHash("sha256").update(text, "utf8").digest("base64")}`;

// Browsers of the last years, so that the modules' syntax passes unchanged.
const bundle = buildSync({
  entryPoints: [join(here, "main.js")],
  bundle: true,
  format: "iife",
  target: ["chrome100", "firefox100", "safari15"],
  charset: "utf8",
  legalComments: "none",
  write: false,
});
if (process.argv.length !== 4) throw new Error("usage: node pack.mjs <output.html> <first-start INI>");
// One character a byte; "<" escaped, so that no text of the file can end the block.
const firstStartIni = JSON.stringify(readFileSync(process.argv[3], "latin1")).replace(/</g, "\\u003c");
const style = `\n${read("page.css")}`;
const script = `\n"use strict";\n${bundle.outputFiles[0].text}`;
if (/<\/(script|style)/i.test(script + style)) {
  throw new Error("an inline script or style may not hold a closing tag");
}
/** @type {Record<string, string>} */
const fill = { "@STYLE_HASH@": hash(style), "@SCRIPT_HASH@": hash(script), "@STYLE@": style, "@SCRIPT@": script,
  "@FIRST_START_INI@": firstStartIni };
const page = read("page.html").replace(/@(STYLE_HASH|SCRIPT_HASH|STYLE|SCRIPT|FIRST_START_INI)@/g,
  (marker) => fill[marker]);
writeFileSync(process.argv[2], page);
