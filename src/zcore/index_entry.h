#pragma once

#include "zcore/footprint_facts.h"

#include <cstddef>
#include <optional>
#include <string>

namespace zcore {

// What a search compares of a footprint beside its texts, from its facts.
struct footprint_figures {
  // Different pad numbers, as KiCad counts pins: an exposed pad counts
  // once however many vias and paste pads share its number; unnumbered
  // pads and holes not at all.
  std::size_t pads = 0;
  std::size_t smd_pads = 0;
  std::size_t through_hole_pads = 0;
  footprint_kind kind = footprint_kind::unspecified;
  std::optional<double> pitch;
  std::optional<dimensions> courtyard;
  // The fabrication outline: the part's body.
  std::optional<dimensions> body;
};

footprint_figures figures_of(const footprint_facts& facts);

// One footprint found below the root: a `.kicad_mod` file, or one module of
// a legacy `.mod` library.
struct index_entry {
  std::string path;
  // The folder of a `.kicad_mod` file; the `.mod` file of a module.
  std::string library;
  // The module's position in its legacy library; 0 for a `.kicad_mod`.
  std::size_t module = 0;
  // The name in the file; the file's stem until it is read or when the
  // file names none.
  std::string name;
  std::string description;
  std::string tags;
  // Why the file could not be read; empty when it was.
  std::string error;
  // False while the entry is known by its file name only.
  bool indexed = false;
  // Known once the entry is read without an error, when the index reads
  // figures.
  std::optional<footprint_figures> figures;
};

// The library's name as a user knows it: its folder or file name without
// the extension (`Package_QFP.pretty` gives `Package_QFP`).
std::string library_name(const index_entry& entry);

}  // namespace zcore
