#include "apps/padscope-render/inputs.h"

#include "zwidget/zviewer/footprint_file.h"
#include "zwidget/zviewer/footprint_formats.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>

namespace padscope::render {

namespace {

using zwidget::zcvpcb::decode_file_name;
using zwidget::zcvpcb::encode_file_name;

QString system_error() {
  return QString::fromLocal8Bit(std::strerror(errno));
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// Walks a folder by the bytes of its names, so that none is lost to
// decoding; a folder reached through a link is not entered, so that loops
// end.
class FolderWalk {
public:
  FolderWalk(std::vector<InputFile>& found, std::vector<SkippedPath>& skipped)
      : found(found), skipped(skipped) {}

  void walk(const QByteArray& folder, const QString& relative) {
    std::vector<QByteArray> names;
    {
      const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.constData()));
      if (!dir) return skip(folder, system_error());
      errno = 0;
      while (const dirent* entry = readdir(dir.get()))
        names.emplace_back(entry->d_name);
      if (errno != 0) return skip(folder, system_error());
    }
    // The lines on skipped paths come in name order.
    std::sort(names.begin(), names.end());
    for (const QByteArray& name : names) {
      // Hidden names, "." and ".." among them, are passed over.
      if (name.startsWith('.')) continue;
      const QByteArray path = folder + '/' + name;
      const QString shown_name = decode_file_name(name);
      struct stat info {};
      if (lstat(path.constData(), &info) != 0) {
        skip(path, system_error());
      } else if (S_ISDIR(info.st_mode)) {
        walk(path,
             relative.isEmpty() ? shown_name : relative + '/' + shown_name);
      } else if (zwidget::zcvpcb::format_for_path(shown_name)) {
        if (stat(path.constData(), &info) != 0) {
          skip(path, system_error());
        } else if (S_ISREG(info.st_mode)) {
          found.push_back({decode_file_name(path), relative, info.st_size});
        } else if (!S_ISDIR(info.st_mode)) {
          skip(path, QStringLiteral("Not a regular file"));
        }
      }
    }
  }

private:
  void skip(const QByteArray& path, const QString& reason) {
    skipped.push_back({decode_file_name(path), reason});
  }

  std::vector<InputFile>& found;
  std::vector<SkippedPath>& skipped;
};

}  // namespace

std::vector<InputFile> collect_inputs(const QStringList& inputs,
                                      QStringList& missing,
                                      std::vector<SkippedPath>& skipped) {
  std::vector<InputFile> files;
  for (const QString& input : inputs) {
    const QByteArray native = encode_file_name(input);
    struct stat info {};
    if (stat(native.constData(), &info) != 0) {
      missing.append(input);
    } else if (!S_ISDIR(info.st_mode)) {
      files.push_back({input, QString(), info.st_size});
    } else {
      std::vector<InputFile> found;
      FolderWalk(found, skipped)
          .walk(native.endsWith('/') && native.size() > 1
                    ? native.left(native.size() - 1)
                    : native,
                QString());
      std::sort(found.begin(), found.end(),
                [](const InputFile& a, const InputFile& b) {
                  return a.path < b.path;
                });
      files.insert(files.end(), found.begin(), found.end());
    }
  }
  return files;
}

QStringList decode_arguments(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << decode_file_name(argv[i]);
  return arguments;
}

std::string printable(const QString& text) {
  std::string shown;
  char escape[8];
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    const ushort code = c.unicode();
    if (code >= 0xdc80 && code <= 0xdcff) {
      std::snprintf(escape, sizeof escape, "\\x%02x", code - 0xdc00);
      shown += escape;
    } else if (code < 0x20 || code == 0x7f) {
      std::snprintf(escape, sizeof escape, "\\x%02x", code);
      shown += escape;
    } else if ((code >= 0x80 && code < 0xa0) ||
               (c.isSurrogate() &&
                !(c.isHighSurrogate() && i + 1 < text.size() &&
                  text[i + 1].isLowSurrogate()))) {
      std::snprintf(escape, sizeof escape, "\\u%04x", code);
      shown += escape;
    } else if (c.isHighSurrogate()) {
      shown += text.midRef(i++, 2).toUtf8().toStdString();
    } else {
      shown += QString(c).toUtf8().toStdString();
    }
  }
  return shown;
}

}  // namespace padscope::render
