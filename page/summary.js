// What the timeline draws, summarised from the log model without touching the
// page: the colour of each owner, the marks of each block and the rows.

// A colour as a word of little-endian ImageData.
export const rgba = (r, g, b) => (255 << 24) | (b << 16) | (g << 8) | r;
const NULL_OWNER = rgba(150, 150, 150);

function hsl(hue, saturation, lightness) {
  const a = saturation * Math.min(lightness, 1 - lightness);
  const f = (n) => {
    const k = (n + hue / 30) % 12;
    return Math.round(255 * (lightness - a * Math.max(-1, Math.min(k - 3, 9 - k, 1))));
  };
  return [f(0), f(8), f(4)];
}

// One colour per owner pointer, in the order the owners first appear.
export function owners(model) {
  const index = new Map();
  const counts = [];
  const ownerOf = new Uint16Array(model.cells.length);
  for (let cell = 0; cell < model.cells.length; cell++) {
    if (!model.cells.present[cell]) continue;
    const owner = model.cells.owner[cell];
    let i = index.get(owner);
    if (i === undefined) {
      i = index.size;
      index.set(owner, i);
      counts.push(0);
    }
    counts[i]++;
    ownerOf[cell] = i;
  }
  const list = [...index.keys()].map((owner, i) => {
    const [r, g, b] = owner === 0 ? [150, 150, 150] : hsl((i * 137.508) % 360, 0.62, 0.52);
    return { owner, cells: counts[i], css: `rgb(${r}, ${g}, ${b})`, word: owner === 0 ? NULL_OWNER : rgba(r, g, b) };
  });
  return { ownerOf, list };
}

// The events and execution decals per column, as bits: 1 an event, 2 an execution decal.
export function marks(model) {
  const bits = new Uint8Array(model.blocks.length + 1);
  for (let e = 0; e < model.events.length; e++) bits[model.events.block[e]] |= 1;
  for (let x = 0; x < model.executions.length; x++) bits[model.executions.block[x]] |= 2;
  return bits;
}

// One row per map index up to the highest that any block showed.
export const rowCount = (model) => Math.max(1, model.mapsSeen.lastIndexOf(1) + 1);
