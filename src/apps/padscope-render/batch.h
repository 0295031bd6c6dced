#pragma once

#include "apps/padscope-render/footprint_renderer.h"
#include "apps/padscope-render/render_options.h"

#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include <ostream>
#include <vector>

namespace padscope::render {

// A footprint file to render and the folder its images go to, relative to
// the output folder.
struct InputFile {
  QString path;
  QString relative_dir;
};

// The outcome for one footprint: a file, or one module of a library.
struct FootprintResult {
  QString file;
  // The footprint's name as its file gives it; may be empty.
  QString module;
  bool ok = false;
  QString message;
  // The image written; empty on failure.
  QString output;
  KindCounts items;
  KindCounts not_drawn;
  double milliseconds = 0;
};

struct BatchResult {
  int files = 0;
  int images = 0;
  int failures = 0;
  KindCounts not_drawn;
  std::vector<FootprintResult> results;
  double seconds = 0;
};

// The footprint files the inputs name: a file as it is, whatever its name;
// a folder's files with footprint names, recursively, in path order. A
// missing input goes to `missing`.
std::vector<InputFile> collect_inputs(const QStringList& inputs,
                                      QStringList& missing);

// Renders every footprint of `files` into the options' output folder. One
// line per failure goes to `err`; with `progress`, also the count and the
// current file, on a line rewritten in place.
BatchResult render_batch(const RenderOptions& options,
                         const std::vector<InputFile>& files, std::ostream& err,
                         bool progress);

// Files, images, failures with their messages, and what was not drawn.
void write_summary(const BatchResult& result, std::ostream& out);

// The per-footprint results as JSON.
QJsonDocument report(const BatchResult& result);

// The program once the application object exists; returns the exit status:
// 0 when every footprint was rendered, 1 when any failed, 2 for a usage
// error.
int run(const QStringList& arguments, std::ostream& out, std::ostream& err,
        bool progress);

}  // namespace padscope::render
