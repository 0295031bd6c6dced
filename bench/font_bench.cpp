#include "hersheyfont/hershey_font.h"
#include "zwidget/zgraph/text_item.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QImage>
#include <QPainter>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

static void init_font_resources() {
  Q_INIT_RESOURCE(padscope_fonts);
}

namespace {

using hersheyfont::HersheyFont;
using zwidget::zgraph::GraphicsTextItem;

constexpr int kItems = 1000;
constexpr int kColumns = 40;
const char* const kTexts[] = {"REF**", "10k", "${REFERENCE}"};

using Items = std::vector<std::unique_ptr<GraphicsTextItem>>;

// Footprint-sized texts (1 mm, 0.15 mm strokes) on a 40-column grid in mm.
void make_items(Items& items) {
  items.reserve(kItems);
  for (int i = 0; i < kItems; ++i) {
    const QPointF position(1 + (i % kColumns) * 1.25, 1 + (i / kColumns) * 2);
    items.push_back(std::make_unique<GraphicsTextItem>(
        "reference", kTexts[i % 3], position, (i % 4) * 90.0, false,
        QSizeF(1, 1), 0.15, i % 5 == 0, QColor(Qt::cyan)));
  }
}

benchmark::Counter per_item(const benchmark::State& state) {
  return benchmark::Counter(
      static_cast<double>(state.iterations()) * kItems,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Each item opens the resource and parses its own font.
void BM_ConstructTextItems(benchmark::State& state) {
  Items items;
  for (auto _ : state) {
    make_items(items);
    benchmark::DoNotOptimize(items.data());
    state.PauseTiming();
    items.clear();
    state.ResumeTiming();
  }
  state.counters["per_item"] = per_item(state);
}
BENCHMARK(BM_ConstructTextItems)->Unit(benchmark::kMillisecond);

// Antialiased, 20 pixels per mm, as a zoomed-in footprint is shown.
void BM_PaintTextItems(benchmark::State& state) {
  Items items;
  make_items(items);
  QImage image(1000, 1000, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(20, 20);
    for (auto& item : items) item->paint(&painter, nullptr, nullptr);
  }
  state.counters["per_item"] = per_item(state);
}
BENCHMARK(BM_PaintTextItems)->Unit(benchmark::kMillisecond);

// The scene asks for it often; it walks the strokes every time.
void BM_TextItemBoundingRect(benchmark::State& state) {
  Items items;
  make_items(items);
  for (auto _ : state) {
    for (auto& item : items) benchmark::DoNotOptimize(item->boundingRect());
  }
  state.counters["per_item"] = per_item(state);
}
BENCHMARK(BM_TextItemBoundingRect)->Unit(benchmark::kMillisecond);

// Parsing alone, from lines already in memory: what a shared font saves.
class MemorySource : public HersheyFont::BufferAdapter {
public:
  explicit MemorySource(const std::vector<std::string>& lines) : lines(lines) {}
  int read_line(char* buffer, int capacity) override {
    if (next == lines.size()) return 0;
    const std::string& line = lines[next++];
    const int length = std::min(static_cast<int>(line.size()), capacity - 1);
    std::memcpy(buffer, line.data(), length);
    buffer[length] = '\0';
    return length;
  }
  void open() override { next = 0; }
  void close() override {}

private:
  const std::vector<std::string>& lines;
  std::size_t next = 0;
};

void BM_ParseRowmansFromMemory(benchmark::State& state) {
  init_font_resources();
  QFile file(":/images/hershey-fonts/rowmans.jhf");
  if (!file.open(QIODevice::ReadOnly)) {
    state.SkipWithError("rowmans.jhf missing from the resources");
    return;
  }
  std::vector<std::string> lines;
  while (!file.atEnd()) lines.push_back(file.readLine().toStdString());
  for (auto _ : state) {
    HersheyFont font(1, 1);
    MemorySource source(lines);
    font.load(source);
    benchmark::DoNotOptimize(font.glyph('R').strokes);
  }
}
BENCHMARK(BM_ParseRowmansFromMemory)->Unit(benchmark::kMicrosecond);

}  // namespace
