#pragma once

#include "zcore/footprint_compare.h"
#include "zwidget/zviewer/zscene.h"

#include <QColor>
#include <QRectF>

#include <memory>
#include <optional>

class QGraphicsPathItem;

namespace zwidget::zcvpcb {

// The colours of a comparison: what the first footprint has that the second
// has not, or has otherwise; the other way round; what both share.
struct CompareColours {
  QColor before{235, 80, 80, 200};
  QColor after{70, 200, 255, 200};
  QColor shared{140, 140, 140};
  QColor highlight{255, 230, 0};
};

// Two footprints over each other on one scene, drawn by their own loaders
// and items, in millimetres whatever their files' units.
class ZCompareScene : public ZScene {
  Q_OBJECT

public:
  ZCompareScene();
  ~ZCompareScene() override;

  // Draws both footprints: each element that takes part in a difference in
  // its side's colour, the others in the shared one. Throws as a loader does
  // for a model that cannot be drawn.
  void build_pair(const zcore::BaseModel& before, const zcore::BaseModel& after,
                  const zcore::footprint_comparison& result,
                  const CompareColours& colours = CompareColours());

  // Marks the places of a difference (millimetres) with a frame over
  // everything; none for two empty places.
  void highlight(const std::optional<zcore::box>& before,
                 const std::optional<zcore::box>& after);
  // The frame's extent in scene coordinates; empty when nothing is marked.
  QRectF highlighted() const;

private:
  // Loads one side and brings its items to millimetres.
  void add_side(const zcore::BaseModel& model,
                const std::set<std::size_t>& changed, const QColor& own,
                const QColor& shared);

  std::unique_ptr<ZSceneLoader> loaders[2];
  int sides = 0;
  QColor highlight_colour;
  QGraphicsPathItem* frame = nullptr;
};

}  // namespace zwidget::zcvpcb
