#pragma once

#include "zwidget/zviewer/zscene.h"

#include <string>
#include <vector>

namespace zwidget::zcvpcb {

// Creates the items of a legacy module's records: outlines first, texts
// last. Pads of the legacy format are not drawn; every record that is not
// an outline is traced on the standard output.
class ZLegacyModuleSceneLoader : public ZSceneLoader {
public:
  ZLegacyModuleSceneLoader(
      ZScene* scene, const std::vector<std::vector<std::string>>* records);
  void load() override;

private:
  QPen pen(const std::string& layer, double width) const;

  const std::vector<std::vector<std::string>>* records;
};

}  // namespace zwidget::zcvpcb
