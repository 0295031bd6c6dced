#include "zcore/legacy_elements.h"

#include "zcore/model_exception.h"
#include "zcore/to_double.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace zcore {

namespace {

void require_tag(const record& r, bool (*is_tag)(const std::string&),
                 const char* message) {
  if (!is_tag(field(r, 0))) throw ModelException(message);
}

double number(const record& r, std::size_t i) {
  return to_double(field(r, i));
}

// Field 1 to 4 as two points, the layout DS, DC and DA share.
template <class Element>
void read_two_points(Element& e, const record& r) {
  e.x1 = number(r, 1);
  e.y1 = number(r, 2);
  e.x2 = number(r, 3);
  e.y2 = number(r, 4);
}

// The front silkscreen, where older files without a layer field put texts.
const char* const kFrontSilkscreen = "21";

// The records a pad block must hold.
const char* const kPadRecords[] = {"Sh", "Dr", "At", "Po"};

// Reads the fields of one record of a pad: a field the record lacks keeps
// its default, and the first one missing adds a message.
class pad_fields {
public:
  pad_fields(const record& r, std::vector<std::string>& faults)
      : r(r), faults(faults) {}

  bool has(std::size_t i) {
    if (i < r.size()) return true;
    if (!short_record) fault("Not enough parameters");
    short_record = true;
    return false;
  }
  void number(std::size_t i, double& value) {
    if (has(i)) value = to_double(r[i]);
  }
  void number(std::size_t i, std::optional<double>& value) {
    if (has(i)) value = to_double(r[i]);
  }
  void fault(const std::string& message) {
    faults.push_back(r[0] + ": " + message);
  }

private:
  const record& r;
  std::vector<std::string>& faults;
  bool short_record = false;
};

bool is_hex_mask(const std::string& text) {
  if (text.empty() || text.size() > 8) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

l_line::l_line(const record& r) {
  require_tag(r, is_line_tag, "Unknown tag. Must be DS");
  read_two_points(*this, r);
  width = number(r, 5);
  layer = field(r, 6);
}

l_circle::l_circle(const record& r) {
  require_tag(r, is_circle_tag, "Unknown tag. Must be DC");
  read_two_points(*this, r);
  width = number(r, 5);
  layer = field(r, 6);
}

l_arc::l_arc(const record& r) {
  require_tag(r, is_arc_tag, "Unknown tag. Must be DA");
  read_two_points(*this, r);
  angle = number(r, 5);
  width = number(r, 6);
  layer = field(r, 7);
}

double l_arc::sweep() const {
  const double degrees = angle / 10;
  const double turned = std::fmod(degrees, 360);
  return turned == 0 && degrees != 0 ? std::copysign(360.0, degrees) : turned;
}

l_poly::l_poly(const record& r) {
  require_tag(r, is_poly_tag, "Unknown tag. Must be DP");
  // strtoll rather than atoi: the same for counts in int range, and
  // defined for the huge counts of broken files.
  count = std::strtoll(field(r, 5).c_str(), nullptr, 10);
  width = number(r, 6);
  layer = field(r, 7);
}

l_poly l_poly::with_corners(const std::vector<record>& records,
                            std::size_t dp_index) {
  if (dp_index >= records.size()) throw ModelException("Not enough parameters");
  l_poly poly(records[dp_index]);
  // Grows with the corners found, never by the count the file claims.
  for (std::size_t i = dp_index + 1;
       i < records.size() &&
       static_cast<std::int64_t>(poly.corners.size()) < poly.count &&
       is_corner_tag(records[i][0]);
       ++i) {
    poly.corners.push_back({number(records[i], 1), number(records[i], 2)});
  }
  return poly;
}

l_text::l_text(const record& r) {
  require_tag(r, is_text_tag, "Unknown tag");
  tag = field(r, 0);
  x = number(r, 1);
  y = number(r, 2);
  size_y = number(r, 3);
  size_x = number(r, 4);
  orientation = number(r, 5);
  pen_width = number(r, 6);
  mirrored = field(r, 7) == "M";
  hidden = field(r, 8) == "I";
  if (r.size() >= 12) {
    layer = field(r, 9);
    italic = field(r, 10) == "I";
    text = field(r, 11);
  } else {
    // Older layouts keep the text last: no italic flag (11 fields), or no
    // layer either (10).
    text = r.size() >= 11 ? r[10] : field(r, 9);
    layer = r.size() >= 11 ? r[9] : kFrontSilkscreen;
  }
}

l_pad::l_pad(const std::vector<record>& records, std::size_t first) {
  if (first >= records.size()) throw ModelException("Not enough parameters");
  if (!is_pad_tag(field(records[first], 0)))
    throw ModelException("Unknown tag. Must be $PAD");
  std::vector<std::string> seen;
  bool ended = false;
  for (std::size_t i = first + 1; i < records.size(); ++i) {
    // The reader makes no empty record, but a model can be built from any.
    if (records[i].empty()) continue;
    const std::string& tag = records[i].front();
    ended = tag == "$EndPAD";
    // A block cut short ends where the next one begins.
    if (ended || tag.rfind('$', 0) == 0) break;
    seen.push_back(tag);
    read(records[i]);
  }
  for (const char* tag : kPadRecords) {
    if (std::find(seen.begin(), seen.end(), tag) == seen.end())
      faults.push_back(std::string("Missing ") + tag);
  }
  if (!ended) faults.push_back("Missing $EndPAD");
}

void l_pad::read(const record& r) {
  pad_fields f(r, faults);
  const std::string& tag = r.front();
  if (tag == "Sh") {
    if (f.has(1)) number = r[1];
    if (f.has(2)) {
      if (r[2] == "C" || r[2] == "R" || r[2] == "O" || r[2] == "T")
        shape = r[2];
      else
        f.fault("Unknown shape. Must be C, R, O or T");
    }
    f.number(3, size_x);
    f.number(4, size_y);
    f.number(5, delta_x);
    f.number(6, delta_y);
    f.number(7, orientation);
  } else if (tag == "Dr") {
    f.number(1, drill_x);
    drill_y = drill_x;
    f.number(2, drill_offset_x);
    f.number(3, drill_offset_y);
    // The oblong form is the round one with `O DX DY` after it.
    if (r.size() <= 4) return;
    if (r[4] != "O") {
      f.fault("Unknown drill shape. Must be O");
      return;
    }
    oblong_drill = true;
    f.number(5, drill_x);
    f.number(6, drill_y);
  } else if (tag == "At") {
    if (f.has(1)) {
      if (r[1] == "STD" || r[1] == "SMD" || r[1] == "CONN" || r[1] == "HOLE")
        type = r[1];
      else
        f.fault("Unknown type. Must be STD, SMD, CONN or HOLE");
    }
    if (f.has(3)) {
      if (is_hex_mask(r[3]))
        layer_mask =
            static_cast<std::uint32_t>(std::strtoul(r[3].c_str(), nullptr, 16));
      else
        f.fault("Bad layer mask");
    }
  } else if (tag == "Po") {
    f.number(1, x);
    f.number(2, y);
  } else if (tag == ".ZoneConnection") {
    if (f.has(1)) zone_connection = std::strtoll(r[1].c_str(), nullptr, 10);
  } else {
    static const std::pair<const char*, std::optional<double> l_pad::*>
        kMargins[] = {{".SolderMask", &l_pad::solder_mask_margin},
                      {".SolderPaste", &l_pad::solder_paste_margin},
                      {".SolderPasteRatio", &l_pad::solder_paste_ratio},
                      {".LocalClearance", &l_pad::clearance},
                      {".ThermalWidth", &l_pad::thermal_width},
                      {".ThermalGap", &l_pad::thermal_gap},
                      {"Le", &l_pad::die_length}};
    for (const auto& [name, margin] : kMargins)
      if (tag == name) f.number(1, this->*margin);
  }
}

std::string l_pad::kicad_type() const {
  static const std::pair<const char*, const char*> kTypes[] = {
      {"STD", "thru_hole"},
      {"SMD", "smd"},
      {"CONN", "connect"},
      {"HOLE", "np_thru_hole"}};
  for (const auto& [legacy, keyword] : kTypes)
    if (type == legacy) return keyword;
  return type;
}

std::string l_pad::kicad_shape() const {
  static const std::pair<const char*, const char*> kShapes[] = {
      {"C", "circle"}, {"R", "rect"}, {"O", "oval"}, {"T", "trapezoid"}};
  for (const auto& [legacy, keyword] : kShapes)
    if (shape == legacy) return keyword;
  return shape;
}

std::vector<std::string> l_pad::layers() const {
  std::vector<std::string> names;
  if (front()) names.push_back("F.Cu");
  if (back()) names.push_back("B.Cu");
  for (int bit = 16; bit <= 28; ++bit)
    if ((layer_mask >> bit) & 1) names.push_back(legacy_layer_name(bit));
  return names;
}

std::string legacy_layer_name(int number) {
  static const char* const kNames[] = {
      "B.Cu",      "F.Cu",      "B.Adhes",   "F.Adhes",   "B.Paste",
      "F.Paste",   "B.SilkS",   "F.SilkS",   "B.Mask",    "F.Mask",
      "Dwgs.User", "Cmts.User", "Eco1.User", "Eco2.User", "Edge.Cuts"};
  if (number == 0) return kNames[0];
  if (number < 15 || number > 28) return std::string();
  return kNames[number - 14];
}

}  // namespace zcore
