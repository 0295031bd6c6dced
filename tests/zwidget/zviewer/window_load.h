#pragma once

#include "hersheyfont/hershey_font_exception.h"
#include "zcore/model_exception.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/viewer_test_support.h"
#include "zwidget/zviewer/zmessage_exception.h"
#include "zwidget/zviewer/zscene.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDataStream>
#include <QGraphicsItem>
#include <QImage>
#include <QPainter>
#include <QString>

#include <ios>
#include <stdexcept>
#include <string>

namespace zwidget::zcvpcb::test {

// What the main window ends up showing after it loaded a file.
struct WindowView {
  bool cover = false;
  // The documented exception the load threw; empty when it read.
  std::string failure;
  int items = 0;
  QImage image;
};

// The cover's blue cross, possibly thinned by the view's old zoom.
inline bool shows_cross(const QImage& image, const QPoint& pixel) {
  const QColor colour = image.pixelColor(pixel);
  return colour.red() == 0 && colour.green() == 0 && colour.blue() > 0;
}

// Runs `read` and returns the message of the documented exception it
// throws, "" when it throws none. Any other exception fails the test.
template <typename Read>
std::string documented_failure(Read&& read) {
  try {
    read();
  } catch (const zcore::ModelException& error) {
    return std::string("ModelException: ") + error.what();
  } catch (const std::ios_base::failure& error) {
    return std::string("ios_base::failure: ") + error.what();
  } catch (const zaux::ZMessageException& error) {
    return std::string("ZMessageException: ") + error.what();
  } catch (const hersheyfont::HersheyFontException& error) {
    return std::string("HersheyFontException: ") + error.what();
  } catch (const std::runtime_error& error) {
    return std::string("runtime_error: ") + error.what();
  } catch (const std::exception& error) {
    ADD_FAILURE() << "undocumented exception: " << error.what();
    return "undocumented";
  } catch (...) {
    ADD_FAILURE() << "unknown exception";
    return "unknown";
  }
  return std::string();
}

// The main window's load: the canvas reads, and any failure leaves the
// cover scene. Then the fitted view is painted as the window would.
template <typename Load>
WindowView show_as_window(ZObjCanvas& canvas, Load&& load) {
  WindowView view;
  {
    CoutCapture quiet;
    view.failure = documented_failure(load);
    if (!view.failure.empty()) canvas.reset_cover();
    auto* scene = static_cast<ZSceneBase*>(canvas.scene());
    view.cover = scene->is_cover();
    view.items = scene->items().size();
    view.image = QImage(canvas.viewport()->size(), QImage::Format_RGB32);
    view.image.fill(Qt::magenta);
    QPainter painter(&view.image);
    canvas.render(&painter);
  }
  return view;
}

inline WindowView show_bytes(ZObjCanvas& canvas, const QByteArray& bytes) {
  QDataStream stream(bytes);
  return show_as_window(canvas, [&] { canvas.load(stream); });
}

inline WindowView show_file(ZObjCanvas& canvas, const QString& path) {
  return show_as_window(canvas, [&] { canvas.load(path); });
}

}  // namespace zwidget::zcvpcb::test
