#include "apps/padscope/stored_state.h"

#include <QtEndian>

#include <cstdint>

namespace {

// Splitter panes wider than this are not a layout but a crafted value.
constexpr std::int32_t kMaxPaneSize = 1 << 20;

// Reads a QDataStream's big-endian fields; any read past the end makes the
// whole state unsound.
class StateReader {
public:
  explicit StateReader(const QByteArray& bytes)
      : data(bytes.constData()),
        left(static_cast<std::uint32_t>(bytes.size())) {}

  bool sound() const { return ok; }
  std::uint32_t remaining() const { return ok ? left : 0; }

  std::uint32_t u32() {
    if (!take(4)) return 0;
    return qFromBigEndian<quint32>(data - 4);
  }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  void skip(std::uint32_t count) { take(count); }
  // A QByteArray or QString: a length (all ones for a null one) and bytes.
  QByteArray blob() {
    const std::uint32_t size = u32();
    if (size == 0xffffffffu || !take(size)) return QByteArray();
    return QByteArray(data - size, static_cast<int>(size));
  }
  // A list of `count` elements of `size` bytes each; returns the count.
  std::uint32_t array(std::uint32_t size) {
    const std::uint32_t count = u32();
    if (ok && count > left / size) ok = false;
    skip(count * size);
    return count;
  }
  // A list of blobs, each at least its four-byte length.
  void blobs() {
    const std::uint32_t count = u32();
    if (ok && count > left / 4) ok = false;
    for (std::uint32_t i = 0; ok && i < count; ++i) blob();
  }
  void expect(bool condition) { ok = ok && condition; }

private:
  bool take(std::uint32_t count) {
    if (!ok || count > left) {
      ok = false;
      return false;
    }
    data += count;
    left -= count;
    return true;
  }

  const char* data;
  std::uint32_t left;
  bool ok = true;
};

}  // namespace

bool is_sound_splitter_state(const QByteArray& state) {
  StateReader in(state);
  in.expect(in.i32() == 0xff);
  const std::int32_t version = in.i32();
  in.expect(version == 0 || version == 1);
  const std::uint32_t panes = in.u32();
  in.expect(panes <= in.remaining() / 4);
  for (std::uint32_t i = 0; in.sound() && i < panes; ++i) {
    const std::int32_t size = in.i32();
    in.expect(size >= -1 && size <= kMaxPaneSize);
  }
  return in.sound();
}

bool is_sound_file_dialog_state(const QByteArray& state) {
  StateReader in(state);
  in.expect(in.i32() == 0xbe && in.i32() == 4);
  const QByteArray splitter = in.blob();
  in.blobs();  // the side bar's places
  in.blobs();  // the history
  in.blob();   // the last folder
  const QByteArray header = in.blob();
  in.i32();  // the view mode
  return in.sound() &&
         (splitter.isEmpty() || is_sound_splitter_state(splitter)) &&
         (header.isEmpty() || is_sound_header_state(header));
}

bool is_sound_header_state(const QByteArray& state) {
  StateReader in(state);
  in.expect(in.i32() == 0xff && in.i32() == 0);
  in.skip(3 * 4 + 1);  // orientation, sort order and section, sort shown
  in.array(4);         // visual indices
  in.array(4);         // logical indices
  const std::uint32_t hidden_bits = in.u32();
  in.skip(hidden_bits / 8 + (hidden_bits % 8 != 0));
  in.array(8);              // hidden section sizes by section
  in.skip(2 * 4 + 5 + 24);  // length, count, five flags, six numbers
  in.array(12);             // section items
  return in.sound();
}
