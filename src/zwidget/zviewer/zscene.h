#pragma once

#include "zcore/nocopy.h"
#include "zcore/text_variables.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/graph_tools_factory.h"
#include "zwidget/zviewer/layer_stack.h"

#include <QGraphicsScene>
#include <QObject>
#include <QPointF>

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QGraphicsItem;
class QGraphicsSceneMouseEvent;

namespace zwidget::zgraph {
class GraphicsPadItem;
}

namespace zcore {
class BaseModel;
}

namespace zwidget::zcvpcb {

class ZScene;

// Base of the scenes a canvas shows.
class ZSceneBase : public QGraphicsScene {
  Q_OBJECT

public:
  using QGraphicsScene::QGraphicsScene;
  virtual bool is_cover() const = 0;
};

// The scene's items bottom to top, as a view stacks them: by depth, then in
// the order they were added. Without an index Qt lists them as added,
// whichever order is asked for.
QList<QGraphicsItem*> stacked_items(const QGraphicsScene& scene);

// The picture of "nothing loaded": black, crossed by a large blue X.
class ZCoverScene : public ZSceneBase {
public:
  ZCoverScene() = default;
  bool is_cover() const override { return true; }

protected:
  void drawBackground(QPainter* painter, const QRectF& rect) override;
};

// Turns a read model into items on a scene. The scene owns its loader.
class ZSceneLoader : public QObject, private zcore::nocopy {
  Q_OBJECT

public:
  explicit ZSceneLoader(ZScene* scene);
  virtual void load() = 0;

  // Draws each element in the one colour `tint` gives for its source (the
  // index of its list among a `.kicad_mod` root's children, of its first
  // record in a legacy module), as a comparison shows a footprint; holes
  // keep theirs.
  void set_tint(std::function<QColor(std::size_t source)> tint) {
    element_tint = std::move(tint);
  }

  // The pads added to the scene, in the order they were added.
  const std::vector<zgraph::GraphicsPadItem*>& made_pads() const {
    return pads_made;
  }

  // Elements the loader met but could not draw, counted by kind (such as
  // "zone" or "pad shape 'custom'"): what the picture leaves out.
  const std::map<std::string, int>& not_drawn() const { return skipped; }

  // The kind counted for an element whose geometry is infinite or NaN; it
  // is not drawn.
  static const char* const kNonFinite;
  // The kind counted for an element reaching beyond a billion units from
  // the origin; it is not drawn either.
  static const char* const kTooLarge;
  // The kinds counted for a text longer than 128 KiB once its variables are
  // expanded, and for one past the 256 KiB that a footprint's texts draw in
  // all: every glyph is stroked on every repaint.
  static const char* const kTextTooLong;
  static const char* const kTextsTooLong;

protected:
  // Adds an item to the scene, marked with its role and layers, and
  // announces it; one with non-finite or too large geometry is deleted and
  // counted instead. False then. Each item is tagged with its element
  // (item_tags.h).
  bool add(QGraphicsItem* item, ItemRole role = ItemRole::drawing,
           const QStringList& layers = QStringList());
  // A drawing on one layer, named as the file names it.
  void add(QGraphicsItem* item, const std::string& layer);
  // The layers named as the file names them, in KiCad's spelling: one list
  // for each set of layers, shared by the items on it.
  const QStringList& layer_list(const std::vector<std::string>& layers);
  // The same for one layer, found without making a set of one.
  const QStringList& one_layer_list(const std::string& layer);
  // A pad on its layers, and the rim of its hole when it has one.
  void add_pad(zgraph::GraphicsPadItem* pad, const QStringList& layers);
  void skip(const std::string& kind, int count = 1) { skipped[kind] += count; }
  // `text` as shown, its variables expanded, when it stays within the bound
  // on one text and what is left of the footprint's; otherwise nothing,
  // and counted as not drawn.
  std::optional<std::string> shown_text(const zcore::text_variables& variables,
                                        const std::string& text);
  // The stretches of KiCad's markup in a shown text.
  static std::vector<zgraph::TextRun> markup_of(const std::string& text);
  // Called before the items of the element at `source` are made: they are
  // tagged with it (item_tags.h).
  void begin_element(std::size_t source) {
    element = static_cast<int>(source);
    if (element_tint) tools.set_tint(element_tint(source));
  }
  int current_element() const { return element; }
  // Each element drawn in its own colour, as a comparison draws it.
  bool tinted() const { return static_cast<bool>(element_tint); }

  ZScene* scene;
  ZGraphToolsFactory tools;

private:
  std::map<std::string, int> skipped;
  std::map<std::vector<std::string>, QStringList> layer_lists;
  std::map<std::string, const QStringList*, std::less<>> one_layer_lists;
  std::size_t text_left;
  std::function<QColor(std::size_t)> element_tint;
  int element = -1;
  // The pads met so far, drawn or not.
  int pads = 0;
  std::vector<zgraph::GraphicsPadItem*> pads_made;
  ItemStacker stacker{false};
};

// The footprint scene: the items of one footprint over a black, gridded
// background; reports the cursor position.
class ZScene : public ZSceneBase {
  Q_OBJECT

public:
  ZScene();
  ~ZScene() override;

  bool is_cover() const override { return false; }

  // The colours a loader draws with, and the background's; set before
  // `build`.
  void set_colour_theme(ColourTheme theme);
  ColourTheme colour_theme() const { return theme; }
  const QColor& background_colour() const { return background; }
  // The pitch of the point grid, in scene units.
  static constexpr double kGridStep = 1.27;

  // Fills the scene with what the loader creates, every pad's hole cut
  // through the pads stacked on it; takes the loader.
  void build(zcore::BaseModel* model, ZSceneLoader* loader);
  // The loader that filled the scene; null before `build`.
  const ZSceneLoader* scene_loader() const { return loader; }
  // Removes every item and the loader.
  void reset();

  // The marks a loader gives an item of this scene (layer_stack.h). Kept
  // here rather than in Qt's item data, whose map and variant allocated for
  // every item; an item deleted on its own leaves its marks until `reset`.
  void mark(const QGraphicsItem& item, const ItemMarks& marks);
  // Null for an item never marked; valid until the next `mark`.
  const ItemMarks* marks_of(const QGraphicsItem& item) const;

  // The zero point of the relative position; the scene origin at first.
  QPointF relative_origin() const { return origin; }
  // Moves it, emits zerro_position with the old one, and reports the last
  // cursor position anew.
  void set_relative_origin(const QPointF& at);
  // The last cursor position in scene units.
  QPointF cursor_position() const { return cursor; }

signals:
  void position_changed(const QPointF& pos, const QPointF& rel_pos = QPointF());
  void loaded(const QString& type);
  void reseted();
  void item_added(QGraphicsItem* item);
  void zerro_position(const QPointF& old);

protected:
  void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
  void drawBackground(QPainter* painter, const QRectF& rect) override;

private:
  void polish_items();

  ZSceneLoader* loader = nullptr;
  // In the order marked, which is mostly the order of the items' addresses;
  // sorted by address when first read out of it. The last marks of an item
  // count.
  mutable std::vector<std::pair<const QGraphicsItem*, ItemMarks>> item_marks;
  mutable bool marks_in_order = true;
  ColourTheme theme = ColourTheme::classic;
  QColor background = Qt::black;
  QColor grid = Qt::white;
  QPointF origin;
  QPointF cursor;
};

}  // namespace zwidget::zcvpcb
