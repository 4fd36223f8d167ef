// The page tests' one seeded generator (mulberry32), so that a failing input
// comes back the same: CRIMSEL_SEED moves every test's inputs at once.

export const SEED = Number(process.env.CRIMSEL_SEED || 20261208);

/**
 * A generator of its own for each stream of a test file, told apart by the number given.
 * @param {number} [stream]
 */
export function seeded(stream = 0) {
  let state = (SEED + Math.imul(stream, 0x9e3779b9)) >>> 0;
  /** @returns {number} in [0, 1) */
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = Math.imul(state ^ (state >>> 15), state | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 2 ** 32;
  };
  /** @param {number} n @returns {number} a whole number below n */
  const below = (n) => Math.floor(next() * n);
  /** @template T @param {readonly T[]} list @returns {T} */
  const pick = (list) => list[below(list.length)];
  /** @param {number} percent */
  const chance = (percent) => below(100) < percent;
  /** @template T @param {T[]} list @returns {T[]} */
  const shuffle = (list) => list.map((item) => ({ item, at: next() })).sort((a, b) => a.at - b.at).map((a) => a.item);
  return { next, below, pick, chance, shuffle };
}
