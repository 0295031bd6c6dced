#pragma once

#include "apps/padscope-render/inputs.h"
#include "apps/padscope-render/render_options.h"

#include <QString>

#include <ostream>
#include <vector>

namespace padscope::render {

// What a catalogue run did.
struct CatalogueResult {
  int footprints = 0;
  int failures = 0;
  double seconds = 0;
};

// Writes a catalogue of every footprint of `files` into `folder`: an
// index.html that works opened from disk (its data in catalogue-data.js,
// loaded by a script tag), with a grid of pictures and a search field, and
// for each footprint a picture, its drawing as true-size SVG and a page of
// its facts, under footprints/. One line per footprint that cannot be drawn
// goes to `err`.
CatalogueResult write_catalogue(const QString& folder, const RenderStyle& style,
                                const std::vector<InputFile>& files,
                                std::ostream& err, bool progress);

}  // namespace padscope::render
