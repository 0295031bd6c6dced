#include "zwidget/zviewer/module/html_property.h"

#include "support/qt_printers.h"
#include "zwidget/zviewer/module/legacy_module_property.h"
#include "zwidget/zviewer/module/no_obj_property.h"
#include "zwidget/zviewer/module/panel_page.h"
#include "zwidget/zviewer/module/pretty_module_property.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include <memory>
#include <stdexcept>

// Taking the bundle away under a living panel stands for a template that
// cannot be opened. The macros must be used outside any namespace.
static void drop_templates() {
  Q_CLEANUP_RESOURCE(padscope_templates);
}

static void restore_templates() {
  Q_INIT_RESOURCE(padscope_templates);
}

namespace zwidget::zcvpcb {
namespace {

using padscope::test::page_browser;
using padscope::test::pretty_model;

bool templates_there() {
  for (const char* page :
       {":/pretty_module.html", ":/legacy_module.html", ":/no_module.html"})
    if (!QFile::exists(page)) return false;
  return true;
}

TEST(HtmlProperty, TemplatesAreThereWhileAPanelIs) {
  {
    auto first = std::make_unique<NoObjProperty>();
    LegacyModuleProperty second;
    first.reset();
    EXPECT_TRUE(templates_there());  // one panel going leaves them to another
  }
  EXPECT_FALSE(templates_there());
  PrettyModuleProperty again;
  EXPECT_TRUE(templates_there());
  const QImage image(":/pretty_module.png");
  EXPECT_EQ(image.size(), QSize(32, 32));
  EXPECT_TRUE(image.hasAlphaChannel());
  EXPECT_EQ(QImage(":/legacy_module.png"), image);
  EXPECT_EQ(QImage(":/no_module.png"), image);
}

// The message of the runtime_error that `action` throws; empty if none.
template <class Action>
std::string failure_of(Action action) {
  try {
    action();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

TEST(HtmlProperty, MissingTemplateThrowsAndKeepsThePage) {
  PrettyModuleProperty pretty;
  LegacyModuleProperty legacy;
  pretty.update_model(pretty_model("(module SOT-23)"));
  const QString page = page_browser(pretty)->toHtml();
  drop_templates();
  EXPECT_EQ(failure_of([&] { pretty.update_model(nullptr); }),
            "Failed to open resource(:/pretty_module.html)");
  EXPECT_EQ(failure_of([&] { legacy.update_model(nullptr); }),
            "Failed to open resource(:/legacy_module.html)");
  EXPECT_EQ(failure_of([] { NoObjProperty nothing; }),
            "Failed to open resource(:/no_module.html)");
  restore_templates();
  EXPECT_EQ(page_browser(pretty)->toHtml(), page);
}

// Share of the pixels within 8 of `colour` in each channel.
double share_of(const QImage& image, QColor colour) {
  int near = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      near += std::abs(p.red() - colour.red()) <= 8 &&
              std::abs(p.green() - colour.green()) <= 8 &&
              std::abs(p.blue() - colour.blue()) <= 8;
    }
  return static_cast<double>(near) / (image.width() * image.height());
}

TEST(NoObjProperty, ShowsItsFixedPage) {
  NoObjProperty panel;
  EXPECT_TRUE(padscope::test::has_rows(panel, {"No module loaded"}));
  const QString page = page_browser(panel)->toHtml();
  EXPECT_TRUE(page.contains("<img src=\":/no_module.png\" />"));
  panel.update_model(pretty_model("(module SOT-23)"));
  EXPECT_EQ(page_browser(panel)->toHtml(), page);
}

TEST(HtmlProperty, PagesReadLightOrangeOnBlack) {
  NoObjProperty nothing;
  PrettyModuleProperty pretty;
  LegacyModuleProperty legacy;
  pretty.update_model(pretty_model("(module SOT-23 (descr transistor))"));
  legacy.update_model(nullptr);
  for (const HtmlProperty* panel :
       {(HtmlProperty*)&nothing, (HtmlProperty*)&pretty,
        (HtmlProperty*)&legacy}) {
    // The page itself, without the scroll bar of the longer ones.
    const QImage picture = page_browser(*panel)->viewport()->grab().toImage();
    EXPECT_GT(share_of(picture, Qt::black), 0.8);
    EXPECT_GT(share_of(picture, QColor(0xff, 0xaa, 0x7f)), 0.0005);
    EXPECT_EQ(share_of(picture, Qt::white), 0.0);
  }
}

}  // namespace
}  // namespace zwidget::zcvpcb
