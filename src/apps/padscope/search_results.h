#pragma once

#include "apps/padscope/background_index.h"
#include "zcore/footprint_query.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <memory>
#include <vector>

// The footprints a search found, best first, with their figures: one row
// each, the columns "Name", "Library", "Pads", "Pitch" and "Size".
class SearchResultsModel : public QAbstractTableModel {
  Q_OBJECT

public:
  enum Column { name, library, pads, pitch, size, columns };
  // The footprint's file and its module in a legacy library (-1 for a
  // file), and the name's matched characters as a list of QPoint(begin,
  // end).
  enum Role { path_role = Qt::UserRole, module_role, matches_role };

  using QAbstractTableModel::QAbstractTableModel;

  // Shows `hits` of `index`, which keeps their entries alive; `query`
  // marks the matches.
  void set_hits(IndexSnapshot index,
                std::shared_ptr<const zcore::footprint_query> query,
                std::vector<zcore::search_hit> hits);
  // The row of a footprint; -1 when it was not found.
  int row_of(const QString& path, int module) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;

private:
  IndexSnapshot index_;
  std::shared_ptr<const zcore::footprint_query> query;
  std::vector<zcore::search_hit> hits;
};

// Paints a name elided in the middle, so that the end that tells variants
// apart stays, with the characters a search matched underlaid.
class MatchDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

// Where each character of `shown`, `text` elided to a prefix, an ellipsis
// and a suffix, came from in `text`; -1 for the ellipsis.
std::vector<int> elided_origins(const QString& text, const QString& shown);
