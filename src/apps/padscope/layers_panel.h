#pragma once

#include "zwidget/zviewer/colour_themes.h"

#include <QDockWidget>
#include <QSet>
#include <QStringList>

class QListWidget;
class QListWidgetItem;

// The layers of the footprint shown beside the canvas: one row per layer
// it uses, with the theme's colour and a check box, then Pads and Holes
// where it has them; buttons set the ready choices of layers.
class LayersPanel : public QDockWidget {
  Q_OBJECT

public:
  explicit LayersPanel(QWidget* parent = nullptr);

  // The rows of a footprint: `layers` and the Pads and Holes rows, in the
  // order of KiCad's layer list, coloured by `theme`.
  void set_rows(const QStringList& layers, zwidget::zcvpcb::ColourTheme theme);
  // What is left out, of this footprint's layers and any other's.
  const QSet<QString>& hidden() const { return hidden_; }
  void set_hidden(const QSet<QString>& hidden);

  QListWidget* rows() const { return list; }

signals:
  // The user checked or unchecked a row, or chose a preset.
  void hidden_changed(const QSet<QString>& hidden);

private:
  void row_changed(QListWidgetItem* item);
  void show_checks();

  QListWidget* list;
  QSet<QString> hidden_;
  // Set while the panel checks its rows itself.
  bool updating = false;
};
