#pragma once

#include "zwidget/zviewer/zscene.h"

#include <string>
#include <vector>

namespace zcore {
class l_pad;
class LegacyStringModel;
}  // namespace zcore

namespace zwidget::zcvpcb {

// Creates the items of a legacy module's records: outlines and pads first,
// texts last. Every record that is not an outline is traced on the standard
// output, and so is what a pad's block lacks. A record that cannot be drawn
// fails the load; given the model, the failure tells the record's line and
// module.
class ZLegacyModuleSceneLoader : public ZSceneLoader {
public:
  ZLegacyModuleSceneLoader(
      ZScene* scene, const std::vector<std::vector<std::string>>* records);
  ZLegacyModuleSceneLoader(ZScene* scene,
                           const zcore::LegacyStringModel& model);
  void load() override;

private:
  QPen pen(const std::string& layer, double width) const;
  void add_record(std::size_t i);
  void add_pad(const zcore::l_pad& pad);
  void add_texts();
  // Runs `step` for record `i`; what it throws names the record's place.
  template <typename Step>
  void at_record(std::size_t i, Step&& step) const;

  const std::vector<std::vector<std::string>>* records;
  const zcore::LegacyStringModel* model = nullptr;
};

}  // namespace zwidget::zcvpcb
