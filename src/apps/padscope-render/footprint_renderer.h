#pragma once

#include "apps/padscope-render/render_options.h"
#include "zcore/footprint_facts.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSizeF>
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
class DrawnArea;
struct FootprintFormat;
}  // namespace zwidget::zcvpcb

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
  // The figures of the footprint shown and its pads; empty when none is.
  zcore::footprint_facts facts() const;

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
  // The picture as a PDF of one page.
  QByteArray pdf(const QString& title) const;
  // The drawn area as SVG at `scale`, its size stated in millimetres,
  // whatever the style's size and scale; empty when nothing is shown.
  QByteArray svg_at_scale(const QString& title, double scale) const;
  // The drawn area's size at `scale`, in millimetres.
  QSizeF drawn_millimetres(double scale) const;
  // The model shown; null for none, or for two compared.
  std::shared_ptr<zcore::BaseModel> model() const { return shown; }

  // The picture's size in millimetres: at the style's scale the drawn area
  // times the scale (empty when nothing is shown), else the style's size
  // at 96 pixels an inch.
  QSizeF picture_millimetres() const;
  // Paints the picture into `target`, in the painter's coordinates, with
  // the target's aspect ratio: fitted at the style's size, or at a scale
  // the drawn area exactly, as the view would show it.
  void paint_into(QPainter& painter, const QRectF& target) const;

  class Canvas;

private:
  // Paints the drawn area into `target` over the style's background.
  void paint_drawn_area(QPainter& painter, const QRectF& target,
                        const zwidget::zcvpcb::DrawnArea& area) const;

  RenderStyle style;
  std::unique_ptr<Canvas> canvas;
  // The model the canvas announced last: the shown module.
  std::shared_ptr<zcore::BaseModel> shown;
};

}  // namespace padscope::render
