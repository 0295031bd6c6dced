#include "support/hostile_files.h"

#include <cstdint>

namespace padscope::test {

namespace {

// A footprint of one line and the given elements.
std::string pretty(const std::string& elements) {
  return "(footprint hostile (layer F.Cu)\n  (fp_line (start 0 0) (end 2 1) "
         "(layer F.SilkS) (width 0.1))\n" +
         elements + ")\n";
}

// A library of one module of one line and the given records.
std::string legacy(const std::string& records) {
  return "PCBNEW-LibModule-V1\n$INDEX\nhostile\n$EndINDEX\n$MODULE hostile\n"
         "Po 0 0 0 15 00000000 00000000 ~~\nLi hostile\n"
         "DS 0 0 1000 500 50 21\n" +
         records + "$EndMODULE hostile\n$EndLIBRARY\n";
}

// `count` silk-screen elements of the given kind and geometry.
std::string silk(const std::string& element, int count = 1) {
  std::string result;
  for (int i = 0; i < count; ++i)
    result += "  (" + element + " (layer F.SilkS) (width 0.1))\n";
  return result;
}

// A text on the silk screen.
std::string silk_text(const std::string& text) {
  return "  (fp_text user \"" + text + "\" (at 0 0) (layer F.SilkS))\n";
}

std::string kinds(const std::string& kind, int count) {
  std::string result = "line";
  for (int i = 0; i < count; ++i) result += " " + kind;
  return result;
}

}  // namespace

const char* const kShowsCover = "cover";

void PrintTo(const HostileFile& file, std::ostream* out) {
  *out << file.name;
}

std::vector<HostileFile> hostile_files() {
  const std::map<std::string, int> too_large = {{"geometry too large", 1}};
  const std::map<std::string, int> non_finite = {{"non-finite geometry", 1}};
  return {
      {"MillionOpenParentheses", "nested.kicad_mod",
       [] { return std::string(1000000, '('); }, kShowsCover},
      {"FiftyMegabyteAtom", "atom.kicad_mod",
       [] { return pretty("").replace(11, 7, std::string(50 << 20, 'A')); },
       "line"},
      {"TextOfFiftyMegabytes",
       "long_text.kicad_mod",
       [] {
         return pretty("  (fp_text user " + std::string(50 << 20, 'W') +
                       " (at 0 0) (layer F.SilkS))\n");
       },
       "line",
       {{"text too long", 1}}},
      // One field past the reader's 65534 bytes: a clear failure.
      {"LegacyLineOfOneMegabyte", "line.mod",
       [] {
         return legacy("DS 0 0 -1000 500 50 21 " + std::string(1 << 20, '7') +
                       "\n");
       },
       kShowsCover},
      // Half a million short fields after the line's own.
      {"LegacyLineOfOneMegabyteInShortFields", "fields.mod",
       [] {
         std::string line = "DS 0 0 -1000 500 50 21";
         while (line.size() < (1 << 20)) line += " 7";
         return legacy(line + "\n");
       },
       "line line"},
      {"PolygonCountTwoToThe31", "polygon.mod",
       [] { return legacy("DP 0 0 0 0 2147483648 50 21\n"); }, "line polygon"},
      // Too large for a view to fit: left out, so that the rest shows.
      {"PadOf1e300", "pad.kicad_mod",
       [] {
         return pretty(
             "  (pad 1 smd rect (at 0 0) (size 1e300 1e300) (layers F.Cu))\n");
       },
       "line", too_large},
      {"RectangleAcrossTheWholeRange", "range.kicad_mod",
       [] {
         return pretty(silk("fp_rect (start -1e308 -1e308) (end 1e308 1e308)"));
       },
       "line", non_finite},
      // Every hole of a different size: each is tangled with all others.
      {"ThreeThousandStackedHoles", "holes.kicad_mod",
       [] {
         std::string pads;
         for (int i = 1; i <= 3000; ++i)
           pads += "  (pad 1 thru_hole circle (size 2 2) (drill 1." +
                   std::to_string(i) + ") (layers *.Cu))\n";
         return pretty(pads);
       },
       kinds("pad hole", 3000)},
      {"CircleOfRadius1e12", "circle.kicad_mod",
       [] { return pretty(silk("fp_circle (center 0 0) (end 1e12 0)")); },
       "line", too_large},
      {"CircleOfRadius1e8", "circle8.kicad_mod",
       [] { return pretty(silk("fp_circle (center 0 0) (end 1e8 0)")); },
       "line circle"},
      // Qt's BSP index took gigabytes for these.
      {"TwentyThousandCoincidentLines", "lines.kicad_mod",
       [] { return pretty(silk("fp_line (start 0 0) (end 2 1)", 20000)); },
       kinds("line", 20000)},
      // Expanded past the bound on one text, and on all texts together.
      {"TextVariableNamedTwoThousandTimes",
       "variable.kicad_mod",
       [] {
         std::string names;
         for (int i = 0; i < 2100; ++i) names += "${BIG}";
         return pretty("  (property BIG " + std::string(64, 'B') +
                       " (layer F.Fab) (hide yes))\n" + silk_text(names));
       },
       "line",
       {{"text too long", 1}}},
      {"ThreeTextsOf100000Characters",
       "texts.kicad_mod",
       [] {
         return pretty(silk_text(std::string(100000, 'W')) +
                       silk_text(std::string(100000, 'W')) +
                       silk_text(std::string(100000, 'W')));
       },
       "line text text",
       {{"text past the footprint's 256 KiB", 1}}},
      {"LegacyReferenceNamedThreeTimes",
       "reference.mod",
       [] {
         return legacy("T0 0 0 600 600 0 120 N V 21 N \"" +
                       std::string(60000, 'R') +
                       "\"\nT2 0 0 600 600 0 120 N V 21 N \"%R%R%R\"\n");
       },
       "line text",
       {{"text too long", 1}}},
      // One zone item per layer, whatever the file repeats; every name a
      // viewer does not know is one layer, as in KiCad.
      {"ZoneNamingItsLayerAThousandTimes", "zone.kicad_mod",
       [] {
         std::string layers;
         for (int i = 0; i < 1000; ++i)
           layers += " F.Cu Bogus" + std::to_string(i % 3);
         return pretty("  (zone (layers" + layers +
                       ") (hatch full 0.05) (polygon (pts (xy 0 0) (xy 9 0) "
                       "(xy 9 9) (xy 0 9))))\n");
       },
       "zone zone line"},
      // Cutting each glyph out of the box took 0.4 ms a character.
      {"KnockoutTextOf20000Characters",
       "knockout.kicad_mod",
       [] {
         return pretty("  (fp_text user \"" + std::string(20000, 'B') +
                       "\" (layer F.SilkS knockout) (effects (font (size 1 1) "
                       "(thickness 0.15))))\n");
       },
       "line text",
       {},
       5},
      // Measuring the line again for each word took 10 s.
      {"FaceTextBoxOf2000Words",
       "box.kicad_mod",
       [] {
         std::string words;
         for (int i = 0; i < 2000; ++i) words += " w" + std::to_string(i);
         return pretty("  (fp_text_box \"" + words +
                       "\" (start 0 0) (end 1000 100) (layer F.SilkS) (effects "
                       "(font (face \"DejaVu Sans\") (size 1 1))))\n");
       },
       "line text",
       {},
       5},
      {"BinaryFile", "binary.kicad_mod",
       [] {
         std::string bytes(1 << 16, '\0');
         std::uint32_t state = 12345;
         for (char& byte : bytes) {
           state = state * 1103515245 + 12345;
           byte = static_cast<char>(state >> 24);
         }
         return bytes;
       },
       kShowsCover},
  };
}

}  // namespace padscope::test
