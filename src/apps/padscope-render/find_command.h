#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

namespace padscope::render {

// Indexes every footprint below the folders `roots` and writes those that
// meet `query`, best first, one a line: the file's path, or for a module
// of a legacy library the library's path, a tab and the module's name.
// Returns 0 when any matched, 1 when none did, 2 when a root is no folder.
int run_find(const QString& query, const QStringList& roots, std::ostream& out,
             std::ostream& err);

}  // namespace padscope::render
