// The catalogue's grid and its search, with the word rules of the viewer's
// library search: blank-separated terms that must all hold; words in the
// name, tags, description or library (* and ? as wildcards, a word of
// letters and digits alone also across the name's separators); "quoted
// phrases"; pads:, pitch:, size:, lib:, smd and tht; - to exclude. Hits are
// ranked as the viewer ranks them. Every text goes in as text, never as
// markup.
"use strict";
(function () {
  const NAME = 0, LIBRARY = 1, DESCRIPTION = 2, TAGS = 3, PADS = 4, PITCH = 5,
    KIND = 6, COURTYARD = 7, BODY = 8, PAGE = 9;
  const PAGE_SIZE = 120;
  const PITCH_TOLERANCE = 0.01, SIZE_TOLERANCE = 0.1, SIZE_SHARE = 0.02;
  const WORD_START_TRIES = 32;
  const TAGS_SCORE = 4, DESCRIPTION_SCORE = 5, LIBRARY_SCORE = 6;

  const entries = window.CATALOGUE || [];

  // ASCII letters in lower case, other characters as they are.
  const fold = (text) => text.replace(/[A-Z]+/g, (s) => s.toLowerCase());
  const isDigit = (c) => c >= "0" && c <= "9";
  const isLetter = (c) => (c >= "a" && c <= "z") || (c >= "A" && c <= "Z");
  const isSeparator = (c) => c < "\x80" && !isDigit(c) && !isLetter(c);
  const isBlank = (c) => " \t\n\r\f\v".indexOf(c) >= 0;

  function squash(name, at) {
    let result = "";
    for (let i = 0; i < name.length; ++i) {
      if (isSeparator(name[i])) continue;
      result += name[i];
      if (at) at.push(i);
    }
    return result;
  }

  const texts = entries.map((e) => {
    const name = fold(e[NAME]);
    return {
      name: name,
      squashed: squash(name),
      library: fold(e[LIBRARY]),
      tags: fold(e[TAGS]),
      description: fold(e[DESCRIPTION]),
    };
  });

  // A word: a substring with * for any run and ? for one character, or
  // with wildcards off every character for itself.
  function pattern(text, wildcards) {
    const folded = fold(text);
    const escape = (s) => s.replace(/[\\^$.*+?()[\]{}|/]/g, "\\$&");
    let source;
    let literal = true;
    if (wildcards) {
      const pieces = folded.split("*").filter((p) => p.length > 0);
      literal = folded.indexOf("*") < 0 && folded.indexOf("?") < 0;
      source = pieces
        .map((p) => p.split("?").map(escape).join("[\\s\\S]"))
        .join("[\\s\\S]*?");
    } else {
      source = escape(folded);
    }
    return {
      text: folded,
      literal: literal,
      empty: source.length === 0,
      regex: new RegExp(source, "g"),
    };
  }

  // The start of the first match at or after `from`, or -1.
  function find(p, text, from) {
    if (p.empty) return from <= text.length ? from : -1;
    p.regex.lastIndex = from;
    const match = p.regex.exec(text);
    return match ? match.index : -1;
  }

  function startsWord(text, at) {
    if (at === 0) return true;
    const before = text[at - 1], here = text[at];
    if (isSeparator(before)) return true;
    return (isDigit(before) && isLetter(here)) ||
      (isLetter(before) && isDigit(here));
  }

  // 0 the whole name, 1 its start, 2 a word's start, 3 elsewhere.
  function nameScore(p, name, first, words, at) {
    if (p.literal && name === p.text) return 0;
    if (first === 0) return 1;
    let match = first;
    for (let i = 0; match >= 0 && match < name.length && i < WORD_START_TRIES;
      ++i) {
      if (startsWord(words, at ? at[match] : match)) return 2;
      match = find(p, name, match + 1);
    }
    return 3;
  }

  function wordScore(word, text) {
    const p = word.pattern;
    let best = -1;
    const first = find(p, text.name, 0);
    if (first >= 0) best = nameScore(p, text.name, first, text.name, null);
    if (word.squashable && best !== 0) {
      const inner = find(p, text.squashed, 0);
      if (inner >= 0) {
        const at = [];
        squash(text.name, at);
        const squashed = nameScore(p, text.squashed, inner, text.name, at);
        if (best < 0 || squashed < best) best = squashed;
      }
    }
    if (best >= 0) return best;
    if (find(p, text.tags, 0) >= 0) return TAGS_SCORE;
    if (find(p, text.description, 0) >= 0) return DESCRIPTION_SCORE;
    if (find(p, text.library, 0) >= 0) return LIBRARY_SCORE;
    return -1;
  }

  function readNumber(text) {
    if (!/^(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/.test(text)) return null;
    const value = Number(text);
    return isFinite(value) ? value : null;
  }

  // The operator in front of a number, and the rest.
  function readOperator(text) {
    for (const op of ["<=", ">=", "<", ">", "="]) {
      if (text.startsWith(op)) return [op, text.slice(op.length)];
    }
    return ["=", text];
  }

  function holds(c, value, tolerance) {
    switch (c.op) {
      case "=": return Math.abs(value - c.low) <= tolerance;
      case "<": return value < c.low - tolerance;
      case "<=": return value <= c.low + tolerance;
      case ">": return value > c.low + tolerance;
      case ">=": return value >= c.low - tolerance;
      default:
        return value >= c.low - tolerance && value <= c.high + tolerance;
    }
  }

  function readComparison(text) {
    const [op, rest] = readOperator(text);
    const dash = rest.indexOf("-", 1);
    if (op === "=" && dash >= 0) {
      const low = readNumber(rest.slice(0, dash));
      const high = readNumber(rest.slice(dash + 1));
      if (low === null || high === null || high < low) return null;
      return { op: "between", low: low, high: high };
    }
    const value = readNumber(rest);
    return value === null ? null : { op: op, low: value };
  }

  function readSize(text) {
    let [op, rest] = readOperator(text);
    if (rest.length > 2 && rest.endsWith("mm")) rest = rest.slice(0, -2);
    const cross = rest.search(/[xX]/);
    if (cross < 0) return null;
    const width = readNumber(rest.slice(0, cross));
    const height = readNumber(rest.slice(cross + 1));
    if (width === null || height === null) return null;
    return [{ op: op, low: width }, { op: op, low: height }];
  }

  const sizeTolerance = (side) => Math.max(SIZE_TOLERANCE, side * SIZE_SHARE);

  function sizeMatches(asked, size) {
    const [w, h] = asked;
    const fits = (a, b) => holds(w, a, sizeTolerance(w.low)) &&
      holds(h, b, sizeTolerance(h.low));
    return fits(size[0], size[1]) || fits(size[1], size[0]);
  }

  function splitTerms(query) {
    const terms = [];
    let i = 0;
    while (i < query.length) {
      if (isBlank(query[i])) {
        ++i;
        continue;
      }
      const term = { text: "", phrase: false, excluded: false };
      if (query[i] === "-" && i + 1 < query.length && !isBlank(query[i + 1])) {
        term.excluded = true;
        ++i;
      }
      if (query[i] === '"') {
        const close = query.indexOf('"', i + 1);
        const end = close < 0 ? query.length : close;
        term.text = query.slice(i + 1, end);
        term.phrase = true;
        i = end + 1;
      } else {
        let end = i;
        while (end < query.length && !isBlank(query[end])) ++end;
        term.text = query.slice(i, end);
        i = end;
      }
      if (term.text.length > 0) terms.push(term);
    }
    return terms;
  }

  // The test of a figure term, or null when the term is a word.
  function figureTest(term) {
    const folded = fold(term);
    const colon = folded.indexOf(":");
    const key = colon < 0 ? folded : folded.slice(0, colon);
    const value = colon < 0 ? "" : term.slice(colon + 1);
    if (colon < 0) {
      if (key !== "smd" && key !== "tht") return null;
      return (e) => e[KIND] === key;
    }
    if (key === "pads" || key === "pins") {
      const asked = readComparison(value);
      return asked && ((e) => holds(asked, e[PADS], 0));
    }
    if (key === "pitch") {
      const asked = readComparison(value);
      return asked &&
        ((e) => e[PITCH] !== null && holds(asked, e[PITCH], PITCH_TOLERANCE));
    }
    if (key === "size") {
      const asked = readSize(value);
      return asked && ((e) =>
        (e[COURTYARD] !== null && sizeMatches(asked, e[COURTYARD])) ||
        (e[BODY] !== null && sizeMatches(asked, e[BODY])));
    }
    if (key === "lib" && value.length > 0) {
      const p = pattern(value, true);
      return (e, text) => find(p, text.library, 0) >= 0;
    }
    return null;
  }

  function parseQuery(query) {
    const words = [], filters = [];
    for (const term of splitTerms(query)) {
      const test = term.phrase ? null : figureTest(term.text);
      if (test) {
        filters.push(term.excluded ? (e, t) => !test(e, t) : test);
        continue;
      }
      words.push({
        pattern: pattern(term.text, !term.phrase),
        squashable: !term.phrase &&
          ![...term.text].some((c) => isSeparator(c) && c !== "*" && c !== "?"),
        excluded: term.excluded,
      });
    }
    return { words: words, filters: filters };
  }

  function score(query, e, text) {
    for (const test of query.filters) {
      if (!test(e, text)) return -1;
    }
    let total = 0;
    for (const word of query.words) {
      const s = wordScore(word, text);
      if (word.excluded !== (s < 0)) return -1;
      if (!word.excluded) total += s;
    }
    return total;
  }

  // Indexes of the entries that meet the query, best first; all of them,
  // in catalogue order, for an empty one.
  function search(text) {
    const query = parseQuery(text);
    if (query.words.length === 0 && query.filters.length === 0)
      return entries.map((e, i) => i);
    const hits = [];
    for (let i = 0; i < entries.length; ++i) {
      const s = score(query, entries[i], texts[i]);
      if (s >= 0) hits.push([s, i]);
    }
    const compare = (a, b) => (a < b ? -1 : a > b ? 1 : 0);
    hits.sort((a, b) => {
      const x = entries[a[1]], y = entries[b[1]];
      return a[0] - b[0] || x[NAME].length - y[NAME].length ||
        compare(x[NAME], y[NAME]) || compare(x[LIBRARY], y[LIBRARY]) ||
        a[1] - b[1];
    });
    return hits.map((hit) => hit[1]);
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function figures(e) {
    const parts = [e[LIBRARY], e[PADS] + (e[PADS] === 1 ? " pad" : " pads")];
    if (e[PITCH] !== null) parts.push("pitch " + e[PITCH] + " mm");
    return parts.join(" \u00b7 ");
  }

  function card(e) {
    const link = element("a", "card");
    link.href = e[PAGE] + ".html";
    const picture = element("img");
    picture.loading = "lazy";
    picture.width = 240;
    picture.height = 180;
    picture.alt = e[NAME];
    picture.src = e[PAGE] + ".png";
    link.append(picture, element("div", "name", e[NAME]),
      element("div", "figures", figures(e)),
      element("div", "description", e[DESCRIPTION]));
    return link;
  }

  const grid = document.getElementById("grid");
  const field = document.getElementById("query");
  const count = document.getElementById("count");
  let shown = [];
  let placed = 0;

  function placeMore() {
    const end = Math.min(shown.length, placed + PAGE_SIZE);
    const cards = document.createDocumentFragment();
    for (; placed < end; ++placed) cards.append(card(entries[shown[placed]]));
    grid.append(cards);
  }

  function update() {
    shown = search(field.value);
    placed = 0;
    grid.textContent = "";
    placeMore();
    count.textContent = shown.length + " of " + entries.length + " footprints";
    // The search in the address, to keep or pass on; a page opened from
    // disk may refuse it.
    try {
      history.replaceState(null, "", field.value
        ? "#q=" + encodeURIComponent(field.value)
        : location.pathname + location.search);
    } catch (refused) {
      // The search works without it.
    }
  }

  // More cards as the end of the grid comes into sight.
  new IntersectionObserver((seen) => {
    if (seen.some((s) => s.isIntersecting) && placed < shown.length)
      placeMore();
  }, { rootMargin: "600px" }).observe(document.getElementById("more"));

  // A link may carry a search: index.html#q=qfn%207x7.
  const asked = /^#q=(.*)$/.exec(location.hash);
  if (asked) field.value = decodeURIComponent(asked[1]);
  field.addEventListener("input", update);
  update();
})();
