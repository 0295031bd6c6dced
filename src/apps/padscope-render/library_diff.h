#pragma once

#include "apps/padscope-render/render_options.h"
#include "zcore/footprint_compare.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

namespace zcore {
class BaseModel;
}

namespace padscope::render {

// One footprint of a library: a `.kicad_mod` file, or one module of a
// legacy library.
struct LibraryFootprint {
  // The library below the input, without `.pretty` or `.mod`, and the
  // footprint's name: "Package_QFP/LQFP-48_7x7mm_P0.5mm"; the name alone
  // for a footprint of the input itself.
  QString key;
  QString file;
  // The module's index in a legacy library; -1 for a file.
  int module = -1;
};

// The footprints of an input (a folder searched recursively, a legacy
// library or one file), by key. What cannot be listed goes to `problems`
// as "PATH: REASON".
std::map<QString, LibraryFootprint> list_footprints(const QString& input,
                                                    QStringList& problems);

// Reads one footprint; throws with the reader's message.
std::shared_ptr<zcore::BaseModel> read_footprint(
    const LibraryFootprint& footprint);

struct FootprintChange {
  LibraryFootprint before, after;
  zcore::footprint_comparison result;
  // The overlay picture, relative to the output folder; empty when it could
  // not be written.
  QString image;
};

struct LibraryDiff {
  QString before, after;
  QStringList added, removed, unchanged;
  std::vector<FootprintChange> changed;
  // A footprint's key or a path, and what went wrong.
  std::vector<std::pair<QString, QString>> failures;
  double seconds = 0;
};

// The report: counts, the names of each kind and every change.
QJsonDocument diff_report(const LibraryDiff& diff);
// A page viewable from disk: the changed footprints first with their
// pictures and differences, then the added, removed and unchanged ones.
QByteArray diff_page(const LibraryDiff& diff);

// `--diff OLD NEW`: compares the footprints of two libraries by key, draws
// each changed one over its old self, and writes report.json, index.html
// and the pictures into the output folder. The status is diff's: 0 for
// none changed, 1 when any was added, removed or changed, 2 on errors.
int run_diff(const RenderOptions& options, std::ostream& out, std::ostream& err,
             bool progress);

}  // namespace padscope::render
