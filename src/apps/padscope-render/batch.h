#pragma once

#include "apps/padscope-render/footprint_renderer.h"
#include "apps/padscope-render/inputs.h"
#include "apps/padscope-render/render_options.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>
#include <vector>

namespace padscope::render {

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
  // The footprint's figures and pads as the report gives them; empty on
  // failure and when no report is asked for.
  QJsonObject facts;
  double milliseconds = 0;
};

struct BatchResult {
  int files = 0;
  int images = 0;
  int failures = 0;
  KindCounts not_drawn;
  std::vector<FootprintResult> results;
  // Paths of folder inputs that could not be taken.
  std::vector<SkippedPath> skipped;
  double seconds = 0;
};

// Told as a batch goes: a file begun (its index in the batch's files) and
// each footprint's result.
struct BatchObserver {
  std::function<void(int file)> begun;
  std::function<void(int file, const FootprintResult&)> result;
};

// Renders every footprint of `files` into the options' output folder. One
// line per failure goes to `err`; with `progress`, also the count and the
// current file, on a line rewritten in place.
BatchResult render_batch(const RenderOptions& options,
                         const std::vector<InputFile>& files, std::ostream& err,
                         bool progress,
                         const BatchObserver* observer = nullptr);

// A name as a file name: no folder separators, no control characters, no
// name that means a folder; `fallback` for what is left of none.
QString file_name_part(const QString& name, const QString& fallback);

// The folder, relative to the output folder, that a library of several
// modules puts its images in.
QString library_folder(const InputFile& input);

// The line `err` gets for a failed footprint, the progress line cleared
// first when there is one.
void write_failure(const FootprintResult& entry, std::ostream& err,
                   bool progress);

// Files, images, failures with their messages, the skipped paths, and what
// was not drawn.
void write_summary(const BatchResult& result, std::ostream& out);

// The per-footprint results as JSON.
QJsonDocument report(const BatchResult& result);

// The report's `facts` of one footprint: lengths in millimetres, positions
// from the footprint origin with y down.
QJsonObject facts_object(const zcore::footprint_facts& facts);

// The program once the application object exists; returns the exit status:
// 0 when every footprint was rendered, 1 when any failed or a path was
// skipped, 2 for a usage error. Workers run `worker_program` (the tool
// itself); without one the batch renders in this process, whatever --jobs
// says.
int run(const QStringList& arguments, std::ostream& out, std::ostream& err,
        bool progress, const QString& worker_program = QString());

}  // namespace padscope::render
