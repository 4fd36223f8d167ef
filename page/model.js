// What a decal leaves in a damage map's A8R8G8B8 target, by Direct3D 9's blend
// equation: result = source × source factor + target × target factor, each of
// the four channels clamped to 0..1, the same factors for colour and alpha. The
// source is the decal's texture times the colour that the drawing code builds.
const ZERO = 1;
const ONE = 2;
const SOURCE_ALPHA = 5;
const INVERSE_SOURCE_ALPHA = 6;

/** @typedef {{ r: number, g: number, b: number, a: number }} Rgba channels in 0..255 */
/** @typedef {{ source: number, target: number }} Factors the blend's factors, by Direct3D 9's codes */

// The patch's source factor "one", and the usual blending it replaces.
/** @type {Factors} */
export const PATCHED = { source: ONE, target: INVERSE_SOURCE_ALPHA };
/** @type {Factors} */
export const USUAL = { source: SOURCE_ALPHA, target: INVERSE_SOURCE_ALPHA };

// The opaque backgrounds of the previews, ARGB: the test bed's skin tone,
// black and white.
export const BACKGROUNDS = [
  { name: "skin tone", argb: 0xffd2a68c },
  { name: "black", argb: 0xff000000 },
  { name: "white", argb: 0xffffffff },
];

/** @param {number} code @param {number} sourceAlpha */
function factor(code, sourceAlpha) {
  switch (code) {
    case ZERO: return 0;
    case ONE: return 1;
    case SOURCE_ALPHA: return sourceAlpha;
    case INVERSE_SOURCE_ALPHA: return 1 - sourceAlpha;
    default: throw new Error(`blend factor ${code} is not modelled`);
  }
}

/** @param {number} argb @returns {Rgba} */
const channels = (argb) => ({ a: (argb >>> 24) & 255, r: (argb >>> 16) & 255, g: (argb >>> 8) & 255, b: argb & 255 });

// What one pixel of the target holds after a decal's pixel is drawn over it:
// texel and colour {r, g, b, a} in 0..255, target an ARGB number, the
// result {r, g, b, a} in 0..255.
/**
 * @param {Rgba} texel
 * @param {Rgba} colour
 * @param {number} targetArgb
 * @param {Factors} factors
 * @returns {Rgba}
 */
export function blend(texel, colour, targetArgb, factors) {
  const target = channels(targetArgb);
  /** @param {keyof Rgba} c */
  const product = (c) => (texel[c] / 255) * (colour[c] / 255);
  /** @type {Rgba} */
  const source = { r: product("r"), g: product("g"), b: product("b"), a: product("a") };
  const sourceFactor = factor(factors.source, source.a);
  const targetFactor = factor(factors.target, source.a);
  /** @param {keyof Rgba} c */
  const mix = (c) => Math.round(255 * Math.min(1, Math.max(0, source[c] * sourceFactor + (target[c] / 255) * targetFactor)));
  return { r: mix("r"), g: mix("g"), b: mix("b"), a: mix("a") };
}

// The test bed's decal texture: white and opaque inside its disc, nothing outside.
export const TEXEL_INSIDE = { r: 255, g: 255, b: 255, a: 255 };
export const TEXEL_OUTSIDE = { r: 0, g: 0, b: 0, a: 0 };
