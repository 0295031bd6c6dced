#pragma once

#include "zwidget/zviewer/zscene.h"

#include <string>
#include <vector>

namespace zcore {
class l_pad;
}

namespace zwidget::zcvpcb {

// Creates the items of a legacy module's records: outlines and pads first,
// texts last. Every record that is not an outline is traced on the standard
// output, and so is what a pad's block lacks.
class ZLegacyModuleSceneLoader : public ZSceneLoader {
public:
  ZLegacyModuleSceneLoader(
      ZScene* scene, const std::vector<std::vector<std::string>>* records);
  void load() override;

private:
  QPen pen(const std::string& layer, double width) const;
  void add_pad(const zcore::l_pad& pad);

  const std::vector<std::vector<std::string>>* records;
};

}  // namespace zwidget::zcvpcb
