#pragma once

#include "apps/padscope-render/render_options.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <map>
#include <memory>
#include <string>

class QPainter;

namespace zcore {
class BaseModel;
struct footprint_comparison;
}  // namespace zcore

namespace zwidget::zcvpcb {
struct FootprintFormat;
}

namespace padscope::render {

// Counts by kind, such as "pad" 4 or "pad shape 'custom'" 1.
using KindCounts = std::map<std::string, int>;

// Draws footprints as the viewer shows them after "Fit to full page": a
// viewer canvas of the image's size (less the margins) reads the file,
// builds and fits the scene, and is rendered into an image. One renderer
// serves a whole batch.
class FootprintRenderer {
public:
  explicit FootprintRenderer(const RenderStyle& style);
  ~FootprintRenderer();
  FootprintRenderer(const FootprintRenderer&) = delete;
  FootprintRenderer& operator=(const FootprintRenderer&) = delete;

  // Reads a file of that format and shows its first module. Throws
  // std::exception with the reader's message for a file that cannot be
  // read, and for one that reads but holds no footprint.
  void load(const QString& path,
            const zwidget::zcvpcb::FootprintFormat& format);

  // Shows two footprints over each other, as the comparison colours them.
  // Throws as `load` does for a model that cannot be drawn.
  void show_comparison(const zcore::BaseModel& before,
                       const zcore::BaseModel& after,
                       const zcore::footprint_comparison& result);

  // Several only for a legacy library of several modules.
  int module_count() const;
  // Shows module `index` of a library; throws as `load` does.
  void show_module(int index);
  // The name of the footprint shown, as its file gives it.
  QString footprint_name() const;

  // The items on the scene, by kind ("line", "pad", "text", ...).
  KindCounts items() const;
  // The elements the scene loader met but could not draw.
  KindCounts not_drawn() const;

  // The picture at the style's size, over the style's background.
  void paint(QPainter& painter) const;
  QImage image() const;
  // The image as a PNG file; empty when encoding fails.
  QByteArray png() const;
  // The picture as SVG through the writer of this tool: compact, with the
  // pad numbers' glyphs as paths.
  QByteArray svg(const QString& title) const;
  // The same through Qt's SVG generator: several times larger and slower,
  // but pad numbers stay text.
  QByteArray qt_svg(const QString& title) const;

  class Canvas;

private:
  RenderStyle style;
  std::unique_ptr<Canvas> canvas;
  // The model the canvas announced last: the shown module.
  std::shared_ptr<zcore::BaseModel> shown;
};

}  // namespace padscope::render
