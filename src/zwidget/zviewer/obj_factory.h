#pragma once

#include <QString>

#include <map>
#include <utility>

namespace zwidget::zcvpcb {

class HtmlProperty;
class ZObjCanvas;

// Makes the canvas and property panel that show a file of one parser.
class ZObjFactory {
public:
  struct Item {
    virtual ~Item() = default;
    // New widgets, owned by the caller.
    virtual std::pair<ZObjCanvas*, HtmlProperty*> create() = 0;
  };

  ZObjFactory() = default;
  ZObjFactory(const ZObjFactory&) = delete;
  ZObjFactory& operator=(const ZObjFactory&) = delete;
  virtual ~ZObjFactory();

  // Takes the item used for every unknown parser name.
  void set_default(Item* item);
  // Takes the item for a parser name, replacing (and deleting) any other.
  void add(const QString& parserName, Item* item);
  // A new pair for the parser name (compared exactly), else the default
  // item's, else two null pointers.
  std::pair<ZObjCanvas*, HtmlProperty*> create(const QString& parserName);

  Item* default_item() const { return fallback; }

private:
  std::map<QString, Item*> items;
  Item* fallback = nullptr;
};

}  // namespace zwidget::zcvpcb

// Pairs for `.kicad_mod` files, legacy libraries, and nothing loaded.
struct PrettyFacItem : zwidget::zcvpcb::ZObjFactory::Item {
  std::pair<zwidget::zcvpcb::ZObjCanvas*, zwidget::zcvpcb::HtmlProperty*>
  create() override;
};

struct LegacyFacItem : zwidget::zcvpcb::ZObjFactory::Item {
  std::pair<zwidget::zcvpcb::ZObjCanvas*, zwidget::zcvpcb::HtmlProperty*>
  create() override;
};

struct NoFacItem : zwidget::zcvpcb::ZObjFactory::Item {
  std::pair<zwidget::zcvpcb::ZObjCanvas*, zwidget::zcvpcb::HtmlProperty*>
  create() override;
};
