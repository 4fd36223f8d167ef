// Whose colour the page shows, over generated sequences of a player's steps:
// once chosen, a colour stays whatever files come after, and the file's other
// colour is offered; before any choice, and after the file's colour was taken,
// each INI's colour is shown.
import assert from "node:assert/strict";
import { test } from "node:test";
import { seeded } from "./Seeded.mjs";
import { choose, fileGiven, offer, start, takeFile } from "../../page/colourchoice.js";
import { CHANNELS, words } from "../../page/colour.js";

const { below: random } = seeded();
/** A colour near the last one often: the same colour must be told from another. */
/** @returns {import("../../page/colour.js").Colour} */
const colour = () => /** @type {any} */ (Object.fromEntries(CHANNELS.map((name) => [name, [0, 255, 224,
  random(256)][random(4)]])));
const sameColour = (/** @type {object} */ a, /** @type {object} */ b) => JSON.stringify(a) === JSON.stringify(b);

test("a colour chosen is kept whatever file comes after it, and the file's is offered until taken", () => {
  for (let run = 0; run < 300; run++) {
    let choice = start(["", "?Red=5", "?alpha=0x80&x=1", "?x=1"][run % 4]);
    assert.equal(choice.chosen, run % 4 === 1 || run % 4 === 2, `a query naming a value is a choice (run ${run})`);
    for (let step = 0; step < 12; step++) {
      const before = choice;
      const kind = random(4);
      if (kind === 0) {
        const values = Object.fromEntries(Object.entries(colour()).filter(() => random(2)));
        choice = choose(choice, values);
        assert.deepEqual({ ...choice.colour, ...values }, choice.colour, "the values chosen");
      } else if (kind === 1) {
        const file = random(3) ? colour() : null;
        choice = fileGiven(choice, file);
        const expected = file && !before.chosen ? file : before.colour;
        assert.deepEqual(choice.colour, expected, before.chosen ? "a chosen colour stays" : "the file's colour taken");
      } else {
        choice = takeFile(choice);
        assert.deepEqual(choice.colour, before.file ?? before.colour, "taking the file's colour");
        if (before.file) assert.deepEqual(fileGiven(choice, before.colour).colour, before.colour, "the next file's too");
      }
      const said = offer(choice);
      assert.equal(said === null, !choice.file || sameColour(choice.colour, choice.file), `offered: ${said}`);
      if (said && choice.file) assert.ok(said.includes(words(choice.file)) && said.includes(words(choice.colour)), said);
    }
  }
});
