#pragma once

#include "zcore/footprint_contents.h"
#include "zcore/footprint_facts.h"
#include "zcore/point.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How a footprint comparison words what it finds and where it points, and
// how it pairs the elements of two sides.
namespace zcore::compare_terms {

using index_pairs = std::vector<std::pair<std::size_t, std::size_t>>;

// Millimetres as "(x, y)" and "w x h".
std::string point_text(const point& p);
std::string size_text(const dimensions& d);
// In double quotes, cut after 60 bytes, never inside a UTF-8 sequence.
std::string quoted(const std::string& text);

double distance(const point& a, const point& b);
box box_around(const point& centre, double half_width, double half_height);

// "pad 3", or where an unnumbered pad lies.
std::string pad_label(const pad_facts& pad);
// An unnumbered pad's label says already where it is.
std::string added_pad_summary(const pad_facts& pad);
// The box about a pad's copper, turned.
box pad_box(const pad_facts& pad);

// The pad's copper the same whichever way the file turns it: a shape
// that looks the same upside down takes its angle modulo 180 degrees, and
// one turned a right angle swaps its sides.
struct pad_frame {
  dimensions size, drill;
  double rotation = 0;
  // Whether the sides were swapped.
  bool swapped = false;
};
pad_frame frame_of(const pad_facts& pad);
// The smaller angle between two, in degrees.
double angle_gap(double x, double y);

// A pad's parts as the differences name them; "none" for what it lacks.
std::string drill_text(const dimensions& drill, bool slot);
std::string layers_text(std::vector<std::string> layers);
std::string optional_text(const std::optional<double>& value);
std::string shape_text(const pad_facts& p);
std::string margins_text(const pad_facts& p);
std::string describe(const pad_facts& p);

// The box about a shape's points.
box points_box(const graphic_shape& s);
std::string describe(const graphic_shape& s);
// "2 lines, 1 arc removed".
std::string count_text(const std::vector<const graphic_shape*>& shapes,
                       const char* what);

std::string text_label(const footprint_text& t);
// Roughly where a text's letters lie: enough to point at it.
box text_box(const footprint_text& t);

// Pairs the unpaired members of `left_a` and `left_b` for which `fits`
// holds, nearest first; removes them from the lists.
void pair_nearest(std::vector<std::size_t>& left_a,
                  std::vector<std::size_t>& left_b,
                  const std::function<bool(std::size_t, std::size_t)>& fits,
                  const std::function<double(std::size_t, std::size_t)>& far,
                  index_pairs& out);

// Orders pad numbers as people count them: 2 before 10, A2 before A10.
bool number_less(const std::string& a, const std::string& b);

}  // namespace zcore::compare_terms
