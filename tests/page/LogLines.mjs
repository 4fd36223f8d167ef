// Lines of a Crimsel.log made as the plug-in formats them, from a seeded
// generator, for the Node tests' properties over generated logs.

import { seeded } from "./Seeded.mjs";

/** @returns {(n: number) => number} a generator of whole numbers below n, the same for the same seed */
export const generator = (stream = 0) => seeded(stream).below;

export const STAMP = "[2026-12-08 20:00:00.000] ";
/** @param {number} n @param {number} digits */
export const hex = (n, digits) => n.toString(16).toUpperCase().padStart(digits, "0");
/** @param {number} ms @returns {string} a time stamp that many milliseconds into the day */
export const stampAt = (ms) => `[2026-12-08 ${new Date(ms).toISOString().slice(11, 23)}] `;

/** @typedef {{ slot: number | null, owner: number, decals: number, rendered: number, flags: number }} MapState */

/** @param {number} index @param {MapState} m */
export const mapLine = (index, m) => `  map[${String(index).padStart(2, "0")}] activeSlot=${m.slot ?? "--"} ` +
  `owner=${hex(m.owner, 8)} tex=0C0A0000 tex2=0C0B0000 decals=${m.decals} rendered=${m.rendered} ` +
  `flags=0x${hex(m.flags, 2)}${["needsClear", "resetAfterRender", "inactive"].filter((_, bit) => m.flags & (1 << bit))
    .map((suffix) => ` ${suffix}`).join("")}`;

/** @param {number} mapCount @param {number} renderedCount @param {number} cleanupTimer */
export const headerLine = (mapCount, renderedCount, cleanupTimer, after = false) => `DamageMapState ` +
  `${after ? "after" : "before"}_UpdateRenderMaps manager=0A000000 mapCount=${mapCount} ` +
  `renderedCount=${renderedCount} cleanupTimer=${cleanupTimer}`;

/** @param {(n: number) => number} below */
export const executionLine = (below, splatter = below(2) === 1) => `Execution ${splatter ? "splatter decal: " +
  "player=0D000000" : "victim decal: player=0D000000 victim=0E000000"} execId=${below(86)} stage=${below(4)} ` +
  `index=${below(25)}/25 time=${(below(5000) / 1000).toFixed(3)} animTime=1.250 pos=(-${below(9)}.500, 2.000) ` +
  `texture=blood_${below(9)}.dds`;
