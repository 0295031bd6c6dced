#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace padscope::render {

// A footprint file to render and the folder its images go to, relative to
// the output folder. Paths keep bytes that are not UTF-8 as
// zwidget::zcvpcb::decode_file_name gives them.
struct InputFile {
  QString path;
  QString relative_dir;
  // The file's size when it was found: what its work is reckoned by.
  qint64 bytes = 0;
};

// A path a folder input holds that could not be taken, and why.
struct SkippedPath {
  QString path;
  QString reason;
};

// The footprint files the inputs name: a file as it is, whatever its name;
// a folder's files with footprint names, recursively, in path order, less
// hidden names and links to folders. A missing input goes to `missing`; a
// folder that cannot be listed, or a footprint name that is no regular file
// (a FIFO, a device, a broken link) or cannot be reached, to `skipped`.
std::vector<InputFile> collect_inputs(const QStringList& inputs,
                                      QStringList& missing,
                                      std::vector<SkippedPath>& skipped);

// Program arguments from the bytes of the command line, file names that
// are not UTF-8 kept as decode_file_name keeps them.
QStringList decode_arguments(int argc, char** argv);

// A text fit for a terminal: control characters and the bytes of a file
// name that are not UTF-8 are written as \xNN, the rest as UTF-8.
std::string printable(const QString& text);

}  // namespace padscope::render
