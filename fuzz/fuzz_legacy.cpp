#include "zcore/legacy_elements.h"
#include "zcore/legacy_model.h"
#include "zcore/model_exception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ios>
#include <sstream>
#include <string>
#include <vector>

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// What the loader builds from a record; a bad record only ends that record
// here, so the ones after it are exercised too.
void build(const std::vector<zcore::record>& records, std::size_t i) {
  const std::string& tag = records[i][0];
  try {
    if (zcore::is_line_tag(tag)) zcore::l_line line(records[i]);
    if (zcore::is_circle_tag(tag)) zcore::l_circle circle(records[i]);
    if (zcore::is_arc_tag(tag)) zcore::l_arc arc(records[i]);
    if (zcore::is_text_tag(tag)) zcore::l_text text(records[i]);
    if (zcore::is_pad_tag(tag)) zcore::l_pad pad(records, i);
    if (zcore::is_poly_tag(tag)) {
      const zcore::l_poly poly = zcore::l_poly::with_corners(records, i);
      check(static_cast<std::int64_t>(poly.corners.size()) <= poly.count ||
            poly.corners.empty());
    }
  } catch (const zcore::ModelException&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    std::vector<std::string> values;
    zcore::tokenize_line(bytes.c_str(), values);
  } catch (const zcore::ModelException&) {
  }

  std::istringstream in(bytes);
  zcore::LegacyStringModel model("module_legacy_parser");
  try {
    model.load(in);
  } catch (const zcore::ModelException&) {
  } catch (const std::ios_base::failure&) {
  }
  const std::vector<zcore::record>& records = model.records();
  for (std::size_t i = 0; i < records.size(); ++i) {
    check(!records[i].empty());
    build(records, i);
  }
  std::size_t next = 0;
  for (const zcore::legacy_module& module : model.modules()) {
    check(module.first >= next && module.first <= module.last &&
          module.last < records.size());
    next = module.last + 1;
    check(model.module_records(module).size() ==
          module.last - module.first + 1);
  }
  return 0;
}
