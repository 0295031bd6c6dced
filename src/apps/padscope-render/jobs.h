#pragma once

#include "apps/padscope-render/batch.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <ostream>
#include <vector>

namespace padscope::render {

// The files of `files` (their indexes, in order) for each of at most `jobs`
// workers, about as many bytes each. Footprints whose images could claim
// the same name go to one share: those of one folder whose names are the same
// but for "-N" endings, and everything in the folder of a library of several
// modules. Each share then names its images as a single process would.
std::vector<std::vector<int>> shares_of(const std::vector<InputFile>& files,
                                        int jobs);

// Descriptors free for a worker to start: its pipes and Qt's own. A start
// is not tried with fewer, as one that runs out of them half way can close
// those of running workers.
constexpr int kDescriptorsToStart = 16;

// The workers worth starting for `files` files when `requested` were asked
// for (0: one per core): no more than the cores, which they would only take
// turns on, and no more than the files keep busy for longer than a worker
// takes to start.
int worker_count(int requested, std::size_t files, int cores);

// Renders `files` in `jobs` worker processes, each `program` run with
// `arguments` (the tool's, less the program name) and --worker over its
// share, and merges their results into one, in the order of `files`. A
// worker that dies fails the file it was on; a new one takes the rest of
// its share.
BatchResult render_in_workers(const QString& program,
                              const QStringList& arguments,
                              const std::vector<InputFile>& files, int jobs,
                              std::ostream& err, bool progress);

// A worker: reads its share from the standard input, renders it, and writes
// each file begun and each footprint's result to the standard output, where
// nothing else goes. Returns the exit status.
int run_worker(const RenderOptions& options);

}  // namespace padscope::render
