#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

namespace padscope::render {

// The largest thumbnail asked of a thumbnailer: file managers ask up to
// 1024 ("xx-large").
constexpr int kMaximumThumbnailSize = 2048;

// The thumbnailer a file manager runs: `padscope-thumbnailer [-s SIZE]
// INPUT OUTPUT` writes a SIZE x SIZE PNG (default 256) of the footprint in
// INPUT, the first module of a legacy library. `arguments` starts with the
// program name. Returns the exit status: 0 on success, 1 when the file
// cannot be drawn or the PNG not written, 2 for a usage error.
int run_thumbnailer(const QStringList& arguments, std::ostream& err);

}  // namespace padscope::render
