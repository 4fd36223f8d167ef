// Packs the players' page into one HTML file that opens from a folder: the
// style and the scripts inline, each allowed by its hash in the page's
// Content-Security-Policy, which allows nothing else.
// Usage: node pack.mjs <output.html>
import { createHash } from "node:crypto";
import { readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
// In the order they depend on each other: reading, model, drawing, controls;
// the settings and colour first, then the log.
const SCRIPTS = ["reading.js", "model.js", "drawing.js", "page.js", "logmodel.js", "logreading.js", "timeline.js",
  "logpage.js"];

const read = (name) => readFileSync(join(here, name), "utf8");
const hash = (text) => `sha256-${createHash("sha256").update(text, "utf8").digest("base64")}`;

const style = `\n${read("page.css")}`;
const script = `\n"use strict";\n${SCRIPTS.map(read).join("\n")}`;
if (/<\/(script|style)/i.test(script + style)) {
  throw new Error("an inline script or style may not hold a closing tag");
}
const fill = { "@STYLE_HASH@": hash(style), "@SCRIPT_HASH@": hash(script), "@STYLE@": style, "@SCRIPT@": script };
const page = read("page.html").replace(/@(STYLE_HASH|SCRIPT_HASH|STYLE|SCRIPT)@/g, (marker) => fill[marker]);
writeFileSync(process.argv[2], page);
