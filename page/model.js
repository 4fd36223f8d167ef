// What a decal leaves in a damage map's A8R8G8B8 target, by Direct3D 9's blend
// equation: result = source × source factor + target × target factor, each of
// the four channels clamped to 0..1, the same factors for colour and alpha. The
// source is the decal's texture times the colour that the drawing code builds;
// inside the disc the test bed's texture is white and opaque, so there the
// source is the colour itself.
const BlendModel = (() => {
  const ZERO = 1;
  const ONE = 2;
  const SOURCE_ALPHA = 5;
  const INVERSE_SOURCE_ALPHA = 6;

  // The patch's source factor "one", and the usual blending it replaces.
  const PATCHED = { source: ONE, target: INVERSE_SOURCE_ALPHA };
  const USUAL = { source: SOURCE_ALPHA, target: INVERSE_SOURCE_ALPHA };

  // The opaque backgrounds of the previews, ARGB: the test bed's skin tone,
  // black and white.
  const BACKGROUNDS = [
    { name: "skin tone", argb: 0xffd2a68c },
    { name: "black", argb: 0xff000000 },
    { name: "white", argb: 0xffffffff },
  ];

  function factor(code, sourceAlpha) {
    switch (code) {
      case ZERO: return 0;
      case ONE: return 1;
      case SOURCE_ALPHA: return sourceAlpha;
      case INVERSE_SOURCE_ALPHA: return 1 - sourceAlpha;
      default: throw new Error(`blend factor ${code} is not modelled`);
    }
  }

  const channels = (argb) => ({ a: (argb >>> 24) & 255, r: (argb >>> 16) & 255, g: (argb >>> 8) & 255, b: argb & 255 });

  // colour {r, g, b, a} and the result in 0..255; target an ARGB number.
  function blend(colour, targetArgb, factors) {
    const target = channels(targetArgb);
    const sourceAlpha = colour.a / 255;
    const sourceFactor = factor(factors.source, sourceAlpha);
    const targetFactor = factor(factors.target, sourceAlpha);
    const mix = (s, t) => Math.round(255 * Math.min(1, Math.max(0, (s / 255) * sourceFactor + (t / 255) * targetFactor)));
    return { r: mix(colour.r, target.r), g: mix(colour.g, target.g), b: mix(colour.b, target.b), a: mix(colour.a, target.a) };
  }

  return { PATCHED, USUAL, BACKGROUNDS, channels, blend };
})();
