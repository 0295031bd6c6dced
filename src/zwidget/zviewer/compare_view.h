#pragma once

#include "zcore/footprint_compare.h"

#include <QWidget>

#include <memory>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace zcore {
class BaseModel;
}

namespace zwidget::zcvpcb {

class ZCompareScene;
class ZObjCanvas;

// Two footprints compared: the list of their differences beside both drawn
// over each other; choosing a difference marks where it lies.
class CompareView : public QWidget {
  Q_OBJECT

public:
  explicit CompareView(QWidget* parent = nullptr);
  ~CompareView() override;

  // Compares the two and shows them; throws as a load does for a footprint
  // that cannot be drawn.
  void compare(std::shared_ptr<zcore::BaseModel> before,
               const QString& before_name,
               std::shared_ptr<zcore::BaseModel> after,
               const QString& after_name);

  const zcore::footprint_comparison& comparison() const { return result; }
  // One row per difference; a layer's row holds its shapes' rows.
  QTreeWidget* differences() const { return list; }
  ZObjCanvas* canvas() const { return view; }
  // Null before anything was compared.
  ZCompareScene* scene() const;
  QString heading() const;

private:
  void fill_list();
  // Marks the difference or layer of a row and brings it into sight.
  void show_row(QTreeWidgetItem* row);

  QLabel* title;
  QTreeWidget* list;
  ZObjCanvas* view;
  zcore::footprint_comparison result;
  std::shared_ptr<zcore::BaseModel> models[2];
};

}  // namespace zwidget::zcvpcb
