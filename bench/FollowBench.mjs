// The cost of following a log that grows by 1 MB a second, in Node, through
// the page's own modules: a generated diagnostics log (64 maps a block, in the
// plug-in's line format) of a given size is read whole, then 1 MB of new
// lines at each look, cut anywhere, as the worker reads them: the new bytes
// read, the summary and levels made on, and what the page lacks posted; and
// the page's part, its model grown from that. Prints, per look, the CPU time
// of the worker's part as a share of a core at one look a second, and the
// longest time of the page's part, which is a task of the page's main thread.
// Usage: node FollowBench.mjs [MB to start from, 100 by default] [looks, 20 by default]
import * as Levels from "../page/levels.js";
import * as LogModel from "../page/logmodel.js";
import * as LogReading from "../page/logreading.js";
import * as PageModel from "../page/pagemodel.js";
import { summariser } from "../page/summary.js";

const START = Number(process.argv[2] || 100) * 2 ** 20;
const LOOKS = Number(process.argv[3] || 20);
const MB = 2 ** 20;

// A log's lines from the block given, until it holds at least so many bytes.
let random = 1;
const below = (n) => {
  random = (Math.imul(random, 1103515245) + 12345) >>> 0;
  return (random >>> 8) % n;
};
const owners = new Uint32Array(64).map((_, i) => 0x1000000 + i);
const hex = (n) => n.toString(16).toUpperCase().padStart(8, "0");
function lines(block, bytes) {
  const parts = [];
  let length = 0;
  for (; length < bytes; block++) {
    const ms = block * 33;
    const stamp = `[2026-12-08 ${new Date(ms).toISOString().slice(11, 23)}] `;
    parts.push(`${stamp}DamageMapState before_UpdateRenderMaps manager=0A000000 mapCount=64 renderedCount=64 ` +
      `cleanupTimer=${block}\r\n`);
    for (let map = 0; map < 64; map++) {
      if (below(50) === 0) owners[map] = 0x2000000 + below(1 << 20);
      parts.push(`${stamp}  map[${String(map).padStart(2, "0")}] activeSlot=1 owner=${hex(owners[map])} ` +
        `tex=0C0A0000 tex2=0C0B0000 decals=${below(40)} rendered=3 flags=0x00\r\n`);
    }
    if (below(20) === 0) parts.push(`${stamp}Execution splatter decal: player=0D000000 execId=1 stage=0 index=1/25 ` +
      "time=0.100 animTime=1.250 pos=(-1.500, 2.000) texture=blood_1.dds\r\n");
    length = parts.reduce((sum, part) => sum + part.length, 0);
  }
  return { text: parts.join(""), block };
}

const first = lines(0, START);
const state = LogReading.begin(0);
LogReading.take(state, Buffer.from(first.text, "latin1"));
const summarise = summariser();
let model = LogModel.withoutAdd(state.result.model);
let { summary, from } = summarise(model);
let levels = Levels.grown(null, model, summary, from);
const page = PageModel.forPage(model);
let block = first.block;
let rest = "";
const worker = [];
const onPage = [];
for (let look = 0; look < LOOKS; look++) {
  const more = lines(block, MB - rest.length);
  block = more.block;
  const all = rest + more.text;
  const cut = MB - 1 - below(4096);
  rest = all.slice(cut);
  const bytes = Buffer.from(all.slice(0, cut), "latin1");
  const had = { events: model.events.length, executions: model.executions.length };
  const started = process.cpuUsage();
  LogReading.take(state, bytes);
  model = LogModel.withoutAdd(state.result.model);
  ({ summary, from } = summarise(model));
  levels = Levels.grown(levels, model, summary, from);
  const growth = structuredClone(PageModel.growth(model, { ...had, blocks: from }));
  const spent = process.cpuUsage(started);
  worker.push((spent.user + spent.system) / 1000);
  const pageStarted = performance.now();
  PageModel.grow(page, growth);
  onPage.push(performance.now() - pageStarted);
}
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
console.log(`following, ${(START / MB).toFixed(0)} MB log growing 1 MB/s, ${LOOKS} looks: worker's CPU | median ` +
  `${(median(worker) / 10).toFixed(1)} % of a core, most ${(Math.max(...worker) / 10).toFixed(1)} %`);
console.log(`following: page's part of a look (its model grown) | median ${median(onPage).toFixed(1)} ms, ` +
  `most ${Math.max(...onPage).toFixed(1)} ms`);
console.log(`following: blocks at the end | ${page.blocks.length} (${levels.levels.length} levels)`);
