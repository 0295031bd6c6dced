#include "apps/padscope/search_results.h"

#include <QApplication>
#include <QPainter>
#include <QPoint>

namespace {

QString millimetres(double value) {
  return QString::number(value, 'g', 4);
}

QString size_text(const zcore::footprint_figures& figures) {
  const auto& size = figures.body ? figures.body : figures.courtyard;
  if (!size) return QString();
  return millimetres(size->width) + QChar(0xd7) + millimetres(size->height);
}

QString about(const zcore::index_entry& entry) {
  if (!entry.error.empty()) return QString::fromStdString(entry.error);
  QStringList lines;
  if (!entry.description.empty())
    lines << QString::fromStdString(entry.description).toHtmlEscaped();
  if (!entry.tags.empty())
    lines << QObject::tr("<i>Tags:</i> %1")
                 .arg(QString::fromStdString(entry.tags).toHtmlEscaped());
  lines << QString::fromStdString(entry.path).toHtmlEscaped();
  return "<p>" + lines.join("<br>") + "</p>";
}

// The characters of `name` at the bytes `spans` of its UTF-8 form.
QVariantList character_spans(
    const std::string& name,
    const std::vector<zcore::name_pattern::span>& spans) {
  QVariantList result;
  const auto characters = [&](std::size_t bytes) {
    return QString::fromUtf8(name.data(), static_cast<int>(bytes)).size();
  };
  for (const auto& span : spans)
    result << QPoint(characters(span.begin), characters(span.end));
  return result;
}

}  // namespace

void SearchResultsModel::set_hits(
    IndexSnapshot index, std::shared_ptr<const zcore::footprint_query> terms,
    std::vector<zcore::search_hit> found) {
  beginResetModel();
  index_ = std::move(index);
  query = std::move(terms);
  hits = std::move(found);
  endResetModel();
}

int SearchResultsModel::row_of(const QString& path, int module) const {
  const std::string file = path.toStdString();
  for (std::size_t i = 0; i < hits.size(); ++i) {
    const zcore::index_entry& entry = *hits[i].entry;
    const int its_module =
        entry.library == entry.path ? static_cast<int>(entry.module) : -1;
    if (entry.path == file && its_module == module) return static_cast<int>(i);
  }
  return -1;
}

int SearchResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(hits.size());
}

int SearchResultsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns;
}

QVariant SearchResultsModel::data(const QModelIndex& at, int role) const {
  if (!at.isValid() || at.row() >= rowCount()) return {};
  const zcore::index_entry& entry = *hits[at.row()].entry;
  const auto& figures = entry.figures;
  switch (role) {
    case Qt::DisplayRole:
      switch (at.column()) {
        case name:
          return QString::fromStdString(entry.name);
        case library:
          return QString::fromStdString(zcore::library_name(entry));
        case pads:
          return figures ? QVariant(static_cast<int>(figures->pads))
                         : QVariant();
        case pitch:
          return figures && figures->pitch ? millimetres(*figures->pitch)
                                           : QString();
        case size:
          return figures ? size_text(*figures) : QString();
      }
      return {};
    case Qt::ToolTipRole:
      return about(entry);
    case Qt::TextAlignmentRole:
      return at.column() >= pads ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                 : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case path_role:
      return QString::fromStdString(entry.path);
    case module_role:
      return entry.library == entry.path ? static_cast<int>(entry.module) : -1;
    case matches_role:
      if (!query || at.column() != name) return {};
      return character_spans(entry.name, query->name_matches(entry.name));
  }
  return {};
}

QVariant SearchResultsModel::headerData(int section,
                                        Qt::Orientation orientation,
                                        int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::ToolTipRole && section == pitch)
    return tr("The smallest distance of equal pads in a row, in mm");
  if (role == Qt::ToolTipRole && section == size)
    return tr("The body, or else the courtyard, in mm");
  if (role != Qt::DisplayRole) return {};
  static const char* const titles[] = {
      QT_TR_NOOP("Name"), QT_TR_NOOP("Library"), QT_TR_NOOP("Pads"),
      QT_TR_NOOP("Pitch"), QT_TR_NOOP("Size")};
  return section >= 0 && section < columns ? tr(titles[section]) : QVariant();
}

std::vector<int> elided_origins(const QString& text, const QString& shown) {
  std::vector<int> origins;
  if (shown == text) {
    for (int i = 0; i < text.size(); ++i) origins.push_back(i);
    return origins;
  }
  const int ellipsis = shown.indexOf(QChar(0x2026));
  if (ellipsis < 0) return origins;
  const int suffix = shown.size() - ellipsis - 1;
  for (int i = 0; i < ellipsis; ++i) origins.push_back(i);
  origins.push_back(-1);
  for (int i = 0; i < suffix; ++i) origins.push_back(text.size() - suffix + i);
  return origins;
}

void MatchDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QString text = item.text;
  const QVariantList matches =
      index.data(SearchResultsModel::matches_role).toList();
  item.text.clear();
  QStyle* style = item.widget ? item.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
  const QRect area =
      style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget)
          .adjusted(2, 0, -2, 0);
  const QFontMetrics metrics(item.font);
  const QString shown = metrics.elidedText(text, Qt::ElideMiddle, area.width());
  const std::vector<int> origins = elided_origins(text, shown);
  const auto matched = [&](int at) {
    if (at < 0 || at >= static_cast<int>(origins.size()) || origins[at] < 0)
      return false;
    for (const QVariant& span : matches) {
      const QPoint range = span.toPoint();
      if (origins[at] >= range.x() && origins[at] < range.y()) return true;
    }
    return false;
  };
  painter->save();
  const bool selected = item.state & QStyle::State_Selected;
  QColor mark = item.palette.color(QPalette::Highlight);
  mark.setAlpha(selected ? 0 : 70);
  painter->setPen(item.palette.color(selected ? QPalette::HighlightedText
                                              : QPalette::Text));
  painter->setFont(item.font);
  // Runs of matched and unmatched characters, the matched ones underlaid
  // (or underlined in a selected row, whose colour is the highlight).
  int x = area.left();
  for (int start = 0; start < shown.size();) {
    int end = start + 1;
    while (end < shown.size() && matched(end) == matched(start)) ++end;
    const QString run = shown.mid(start, end - start);
    const int width = metrics.horizontalAdvance(run);
    const QRect box(x, area.top(), width, area.height());
    if (matched(start)) {
      painter->fillRect(box, mark);
      if (selected)
        painter->drawLine(box.left(), box.bottom() - 1, box.right(),
                          box.bottom() - 1);
    }
    painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, run);
    x += width;
    start = end;
  }
  painter->restore();
}
