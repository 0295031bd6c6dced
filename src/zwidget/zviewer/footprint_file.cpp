#include "zwidget/zviewer/footprint_file.h"

#include "zwidget/zviewer/zmessage_exception.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zwidget::zcvpcb {

namespace {

constexpr ushort kFirstEscape = 0xdc80;
constexpr ushort kLastEscape = 0xdcff;

// The length of the well-formed UTF-8 sequence at `p` (no overlong form, no
// surrogate, nothing past U+10FFFF), or 0.
int utf8_length(const unsigned char* p, int left) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return 1;
  int length = 0;
  unsigned low = 0x80, high = 0xbf;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (left < length || p[1] < low || p[1] > high) return 0;
  for (int i = 2; i < length; ++i)
    if (p[i] < 0x80 || p[i] > 0xbf) return 0;
  return length;
}

QString reason(const QString& path, const QString& why) {
  return QCoreApplication::translate("ZObjCanvas", "Cannot open %1: %2")
      .arg(path, why);
}

[[noreturn]] void refuse(const QString& path, const QString& why) {
  throw zaux::ZMessageException(reason(path, why));
}

// Refuses what is not a regular file or too large to be a footprint.
void check(const QString& path, const struct stat& info) {
  if (!S_ISREG(info.st_mode))
    refuse(path, QStringLiteral("Not a regular file"));
  if (info.st_size > kMaxFootprintFileSize)
    refuse(path, QStringLiteral("File too large (more than 256 MiB)"));
}

}  // namespace

QString decode_file_name(const QByteArray& name) {
  const QString plain = QFile::decodeName(name);
  if (QFile::encodeName(plain) == name) return plain;
  QString escaped;
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.constData());
  const int size = name.size();
  for (int i = 0; i < size;) {
    const int length = utf8_length(bytes + i, size - i);
    if (length == 0) {
      escaped.append(QChar(static_cast<ushort>(0xdc00 + bytes[i])));
      ++i;
    } else {
      escaped.append(QString::fromUtf8(name.constData() + i, length));
      i += length;
    }
  }
  return escaped;
}

QByteArray encode_file_name(const QString& name) {
  const auto is_escape = [](QChar c) {
    return c.unicode() >= kFirstEscape && c.unicode() <= kLastEscape;
  };
  if (std::none_of(name.begin(), name.end(), is_escape))
    return QFile::encodeName(name);
  QByteArray bytes;
  int start = 0;
  for (int i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !is_escape(name[i])) continue;
    bytes.append(name.midRef(start, i - start).toUtf8());
    if (i < name.size())
      bytes.append(static_cast<char>(name[i].unicode() - 0xdc00));
    start = i + 1;
  }
  return bytes;
}

bool is_regular_file(const QString& path) {
  struct stat info {};
  return ::stat(encode_file_name(path).constData(), &info) == 0 &&
         S_ISREG(info.st_mode);
}

void open_footprint_file(const QString& path, QFile& file) {
  const QByteArray native = encode_file_name(path);
  struct stat info {};
  // Looked at before opening: opening a device may already act on it.
  if (::stat(native.constData(), &info) != 0)
    refuse(path, QString::fromLocal8Bit(std::strerror(errno)));
  check(path, info);
  // Without blocking should the path have become a FIFO meanwhile.
  const int fd =
      ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) refuse(path, QString::fromLocal8Bit(std::strerror(errno)));
  try {
    if (::fstat(fd, &info) != 0)
      refuse(path, QString::fromLocal8Bit(std::strerror(errno)));
    check(path, info);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    refuse(path, file.errorString());
  }
}

}  // namespace zwidget::zcvpcb
