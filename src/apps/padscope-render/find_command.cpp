#include "apps/padscope-render/find_command.h"

#include "apps/padscope-render/inputs.h"
#include "zcore/footprint_index.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

namespace padscope::render {

int run_find(const QString& query, const QStringList& roots, std::ostream& out,
             std::ostream& err) {
  // Hits point into their index: every index lives until the end.
  std::vector<std::unique_ptr<zcore::footprint_index>> indexes;
  std::vector<zcore::search_hit> hits;
  const zcore::footprint_query terms(query.toStdString());
  for (const QString& root : roots) {
    if (!QFileInfo(root).isDir()) {
      err << "padscope-render: --find searches folders; not one: "
          << printable(root) << '\n';
      return 2;
    }
    indexes.push_back(std::make_unique<zcore::footprint_index>(
        QDir::cleanPath(root).toStdString()));
    indexes.back()->refresh();
    const auto found = indexes.back()->search(terms);
    hits.insert(hits.end(), found.begin(), found.end());
  }
  zcore::rank_hits(hits);
  for (const zcore::search_hit& hit : hits) {
    const zcore::index_entry& entry = *hit.entry;
    out << entry.path;
    if (entry.library == entry.path) out << '\t' << entry.name;
    out << '\n';
  }
  out.flush();
  return hits.empty() ? 1 : 0;
}

}  // namespace padscope::render
