#pragma once

#include "zcore/text_variables.h"
#include "zwidget/zgraph/pad_geometry.h"
#include "zwidget/zviewer/zscene.h"

#include <QBrush>
#include <QColor>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zcore {
class basenode;
class nodeview;
}  // namespace zcore

namespace zwidget::zcvpcb {

// Creates the items of a `.kicad_mod` tree from the footprint's own
// elements: outlines and pads first, texts last, so that texts stack on top.
class ZPrettyModuleSceneLoader : public ZSceneLoader {
public:
  ZPrettyModuleSceneLoader(ZScene* scene, const zcore::basenode* root);
  void load() override;

private:
  using Handler = void (ZPrettyModuleSceneLoader::*)(const zcore::basenode*);
  // The handler of a footprint element's name; null for one not drawn.
  static Handler handler_for(std::string_view name);

  void add_line(const zcore::basenode* node);
  void add_curve(const zcore::basenode* node);
  void add_circle(const zcore::basenode* node);
  void add_arc(const zcore::basenode* node);
  void add_poly(const zcore::basenode* node);
  void add_rect(const zcore::basenode* node);
  void add_pad(const zcore::basenode* node);
  // One item per layer, beneath everything else.
  void add_zone(const zcore::basenode* node);
  // The lines now, the text with the other texts.
  void add_dimension(const zcore::basenode* node);
  void keep_text(const zcore::basenode* node);
  // Draws the border now and keeps the text for later.
  void add_text_box(const zcore::basenode* node);
  // `shown` is a dimension's text, which its `gr_text` only places.
  void add_text(const zcore::basenode* node, const std::string& shown);
  // The layer colour for a solid fill, or for none written when
  // `without_fill` says so; no brush otherwise.
  QBrush fill_of(const zcore::nodeview& view, bool without_fill = false) const;
  // Counts the primitives it cannot draw.
  // A padstack's layer, when given, overrides the pad's own children.
  zgraph::PadShapeOptions pad_options(const zcore::nodeview& view,
                                      const zcore::basenode* stack_layer,
                                      zgraph::PadShape shape);

  // A pad's colour, by its type and layers, and its label's.
  struct PadColours {
    QColor pad, label, label_rim;
  };
  PadColours pad_colours(const std::string& type,
                         const std::vector<std::string>& layers);

  // A pad's layers, wildcards spelt out, their shared list and, untinted,
  // the colours of its type on them.
  struct PadLayers {
    std::vector<std::string> layers;
    const QStringList* names = nullptr;
    PadColours colours;
  };
  // Those of `pad` of `type`: the last pad's again when its layers and type
  // are written the same, as in most rows of pads.
  const PadLayers& pad_layers(const zcore::basenode* pad,
                              const std::string& type);

  const zcore::basenode* root;
  zcore::text_variables variables;
  // What gave `last_pad`: the words of its layer lists, views into the
  // tree being loaded, and its type.
  std::vector<std::string_view> last_pad_words, pad_words;
  std::string last_pad_type;
  PadLayers last_pad;
  // Untinted, by type and then layers: a footprint's pads repeat a few.
  std::map<std::string, std::map<std::vector<std::string>, PadColours>>
      kept_pad_colours;
  // The file marks overbars with single tildes, as before the markup.
  bool old_overbars = false;
  // Keeps a text for the end, with the element it belongs to.
  void keep(const zcore::basenode* node, std::string shown);

  // The texts met, added after everything else, with a dimension's text.
  struct KeptText {
    const zcore::basenode* node;
    std::string shown;
    int element;
  };
  std::vector<KeptText> texts;
};

}  // namespace zwidget::zcvpcb
