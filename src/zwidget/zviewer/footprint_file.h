#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace zwidget::zcvpcb {

// Larger footprint files are refused: the largest real one is under 1 MiB,
// and a file that never ends would be read until memory runs out.
constexpr qint64 kMaxFootprintFileSize = qint64(256) << 20;

// A file name from the bytes the system holds. Bytes that are not UTF-8
// (nor of the locale) become U+DC80 to U+DCFF, one per byte, so that the
// name still finds its file; encode_file_name gives the bytes back.
QString decode_file_name(const QByteArray& name);
QByteArray encode_file_name(const QString& name);

// True when `path` is a regular file after following links; nothing is
// opened.
bool is_regular_file(const QString& path);

// Opens `path` into `file` for reading: only a regular file after following
// links (a FIFO would block the reader, a device never end), of at most
// kMaxFootprintFileSize bytes. Opening never blocks. Throws
// zaux::ZMessageException with the reason.
void open_footprint_file(const QString& path, QFile& file);

}  // namespace zwidget::zcvpcb
