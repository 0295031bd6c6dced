#include "zwidget/zgraph/item_caches.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"

#include <benchmark/benchmark.h>

#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionGraphicsItem>

#include <memory>
#include <vector>

namespace {

using zwidget::zgraph::GraphicsLineItem;
using zwidget::zgraph::GraphicsPadItem;

constexpr int kItems = 1000;
constexpr int kPixels = 1000;
// The items fill a 40 x 40 mm footprint, fitted into the image.
constexpr double kSide = 40;

QTransform fit_transform() {
  QTransform t;
  t.scale(kPixels / kSide, kPixels / kSide);
  return t;
}

// A pad from the files' keywords, its drill at its position.
zwidget::zgraph::PadSpec pad_spec(
    const QString& number, const char* type, const char* shape,
    const QSizeF& size, const QPointF& position, double turn,
    const QSizeF& deltas, bool oval_drill, const QSizeF& drill,
    const zwidget::zgraph::PadShapeOptions& options = {}) {
  using namespace zwidget::zgraph;
  return {
      number, pad_type_of(type),   pad_shape_of(shape), size,   position, turn,
      deltas, {drill, oval_drill}, QPointF(),           options};
}

// Mixed shapes and types on a 32 x 32 grid, every third pad turned.
std::vector<std::unique_ptr<QGraphicsItem>> make_pads(bool numbered) {
  const char* shapes[] = {"circle", "rect", "oval", "trapezoid"};
  const char* types[] = {"thru_hole", "smd", "smd", "np_thru_hole", "connect"};
  const QColor colours[] = {
      {194, 194, 0}, {132, 0, 0}, {132, 0, 0}, {194, 194, 0}, {132, 0, 0}};
  std::vector<std::unique_ptr<QGraphicsItem>> pads;
  for (int i = 0; i < kItems; ++i) {
    const int type = i % 5;
    const QPointF position(0.625 + 1.25 * (i % 32), 0.625 + 1.25 * (i / 32));
    pads.push_back(std::make_unique<GraphicsPadItem>(
        pad_spec(numbered ? QString::number(i + 1) : QString(), types[type],
                 shapes[i % 4], QSizeF(1.0, 0.6), position,
                 i % 3 == 0 ? 90.0 : 0.0, QSizeF(0, 0.2), i % 8 == 2,
                 type == 1 || type == 2 ? QSizeF(0, 0) : QSizeF(0.3, 0.3)),
        colours[type]));
  }
  return pads;
}

// Silkscreen-like lines of 0.12 mm across the footprint.
std::vector<std::unique_ptr<QGraphicsItem>> make_lines() {
  const QPen pen(QBrush(QColor(0, 132, 132)), 0.12, Qt::SolidLine, Qt::RoundCap,
                 Qt::BevelJoin);
  std::vector<std::unique_ptr<QGraphicsItem>> lines;
  for (int i = 0; i < kItems; ++i) {
    const double x = (i * 37 % 400) / 10.0;
    const double y = (i * 53 % 400) / 10.0;
    const double length = 1 + i % 7;
    const QLineF line = i % 2 ? QLineF(x, y, x + length, y)
                              : QLineF(x, y, x + length / 2, y + length / 2);
    lines.push_back(std::make_unique<GraphicsLineItem>(line, pen));
  }
  return lines;
}

// Paints every item into a fresh image as the view does: antialiased, the
// world transform set per item.
void paint_items(benchmark::State& state,
                 const std::vector<std::unique_ptr<QGraphicsItem>>& items) {
  QImage image(kPixels, kPixels, QImage::Format_ARGB32_Premultiplied);
  const QTransform transform = fit_transform();
  QStyleOptionGraphicsItem option;
  for (auto _ : state) {
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& item : items) {
      painter.save();
      painter.setWorldTransform(transform);
      item->paint(&painter, &option, nullptr);
      painter.restore();
    }
  }
  benchmark::DoNotOptimize(image.constBits());
  state.counters["per_item"] =
      benchmark::Counter(static_cast<double>(items.size()),
                         benchmark::Counter::kIsIterationInvariantRate |
                             benchmark::Counter::kInvert);
}

void BM_PaintPads(benchmark::State& state) {
  paint_items(state, make_pads(true));
}
BENCHMARK(BM_PaintPads)->Unit(benchmark::kMillisecond);

void BM_PaintPadsWithoutNumbers(benchmark::State& state) {
  paint_items(state, make_pads(false));
}
BENCHMARK(BM_PaintPadsWithoutNumbers)->Unit(benchmark::kMillisecond);

void BM_PaintLines(benchmark::State& state) {
  paint_items(state, make_lines());
}
BENCHMARK(BM_PaintLines)->Unit(benchmark::kMillisecond);

// A paste opening like those of threaded SMD nuts: twelve concentric half
// arcs of width 0.2 over a small round anchor, as custom pads write them.
zwidget::zgraph::PadShapeOptions half_disc() {
  zwidget::zgraph::PadShapeOptions options;
  options.anchor = "circle";
  for (int i = 0; i < 12; ++i) {
    const double r = 0.05 + 0.1 * i;
    QPainterPath arc;
    const QRectF square(-r, -0.6 - r, 2 * r, 2 * r);
    arc.arcMoveTo(square, 0);
    arc.arcTo(square, 0, -180);
    options.primitives.push_back({arc, 0.2, false});
  }
  return options;
}

// kind 0: rounded rectangles, 1: chamfered ones, 2: custom half discs.
std::vector<std::unique_ptr<QGraphicsItem>> make_newer_pads(int kind) {
  std::vector<std::unique_ptr<QGraphicsItem>> pads;
  const zwidget::zgraph::PadShapeOptions custom = half_disc();
  zwidget::zgraph::PadShapeOptions chamfered;
  chamfered.chamfer_ratio = 0.2;
  chamfered.chamfered.top_left = true;
  for (int i = 0; i < kItems; ++i) {
    const QPointF position(0.625 + 1.25 * (i % 32), 0.625 + 1.25 * (i / 32));
    pads.push_back(std::make_unique<GraphicsPadItem>(
        pad_spec(QString::number(i + 1), "smd",
                 kind == 2 ? "custom" : "roundrect", QSizeF(1.0, 0.6), position,
                 i % 4 == 0 ? 90.0 : 0.0, QSizeF(), false, QSizeF(),
                 kind == 2 ? custom
                           : (kind == 1 ? chamfered
                                        : zwidget::zgraph::PadShapeOptions())),
        QColor(132, 0, 0)));
  }
  return pads;
}

// Uniting the primitives of a custom pad happens once, when it is made;
// with the items' memories kept (0) and forgotten before each pad (1).
void BM_ConstructCustomPads(benchmark::State& state) {
  const zwidget::zgraph::PadSpec spec =
      pad_spec("1", "smd", "custom", QSizeF(0.9, 0.9), QPointF(1, 2), 30,
               QSizeF(), false, QSizeF(), half_disc());
  for (auto _ : state) {
    if (state.range(0)) {
      state.PauseTiming();
      zwidget::zgraph::clear_item_caches();
      state.ResumeTiming();
    }
    GraphicsPadItem pad(spec, QColor(132, 0, 0));
    benchmark::DoNotOptimize(pad.boundingRect());
  }
}
BENCHMARK(BM_ConstructCustomPads)
    ->ArgName("cold")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMicrosecond);

void BM_PaintNewerPads(benchmark::State& state) {
  paint_items(state, make_newer_pads(state.range(0)));
}
BENCHMARK(BM_PaintNewerPads)
    ->ArgName("kind")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond);

// The 2,000 items through QGraphicsScene::render, as a full repaint.
void BM_RenderScene(benchmark::State& state) {
  QGraphicsScene scene;
  for (auto& item : make_pads(true)) scene.addItem(item.release());
  for (auto& item : make_lines()) scene.addItem(item.release());
  QImage image(kPixels, kPixels, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(0, 0, kPixels, kPixels),
                 QRectF(0, 0, kSide, kSide));
  }
  benchmark::DoNotOptimize(image.constBits());
  state.counters["per_item"] = benchmark::Counter(
      2.0 * kItems, benchmark::Counter::kIsIterationInvariantRate |
                        benchmark::Counter::kInvert);
}
BENCHMARK(BM_RenderScene)->Unit(benchmark::kMillisecond);

}  // namespace
