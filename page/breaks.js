// Where a long name may break across lines: a window may be 320 pixels wide,
// and a name like PatchBloodDecalColorAndAlpha=1 must neither widen the page
// nor break inside one of its words. No DOM, so that Node can import it.

const LONG = 12; // a word no longer than this stays whole
const RUN = 16; // the longest piece: a run with no better place breaks every so many characters

// After one of these marks a word may break before a letter or a bracket; before
// a digit only where a run grows too long, so that a time or a list of numbers
// stays whole where it can.
const MARK = /[/\\,:;_.\]]/;
const LETTER = /[^\d\W]|[[(]/;

/**
 * @param {string} word
 * @returns {string[]}
 */
function cut(word) {
  const pieces = [];
  let start = 0; // where the piece being made begins
  let run = 0; // where the run with no place to break begins
  let soft = -1; // a place after a mark in the run, before a digit
  for (let i = 1; i < word.length; i++) {
    const before = word[i - 1];
    const at = word[i];
    const hard = (/[a-z]/.test(before) && /[A-Z]/.test(at)) || (MARK.test(before) && LETTER.test(at)) || at === "(";
    if (before === "-") {
      run = i; // the browser breaks after a hyphen itself
      soft = -1;
    } else if (MARK.test(before)) soft = i;
    const place = hard ? i : i - run >= RUN ? (soft > run ? soft : i) : -1;
    if (place > start) {
      pieces.push(word.slice(start, place));
      start = run = place;
      soft = -1;
    }
  }
  pieces.push(word.slice(start));
  return pieces;
}

/**
 * A text in pieces, between which a line may break besides its blanks: inside each word longer than 12
 * characters, between the words of a name in CamelCase, before a letter after ":", "/", "." and the like (before a digit only in a long run), before "(", and
 * every 16 characters of a run with none of these.
 * @param {string} text
 * @returns {string[]} pieces whose joining is the text
 */
export function breakable(text) {
  const pieces = [""];
  for (const word of text.split(/(\s+)/)) {
    const [first, ...rest] = word.length > LONG && !/^\s/.test(word) ? cut(word) : [word];
    pieces[pieces.length - 1] += first;
    pieces.push(...rest);
  }
  return pieces;
}
