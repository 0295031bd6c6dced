#pragma once

#include "zcore/footprint_format.h"
#include "zcore/models.h"

#include <memory>
#include <sstream>
#include <string>

namespace padscope::test {

// `bytes` read as a file called `name` is read: by the format its name
// gives, a legacy library split and its `module`th module returned.
inline std::shared_ptr<zcore::BaseModel> model_of(const std::string& name,
                                                  const std::string& bytes,
                                                  int module = 0) {
  const zcore::footprint_format* format = zcore::format_for_name(name);
  std::shared_ptr<zcore::BaseModel> model = format->make_model();
  std::istringstream in(bytes);
  model->load(in);
  if (const auto library = format->library_of(model))
    return library->model(static_cast<std::size_t>(module));
  return model;
}

// A `.kicad_mod` file's text read.
inline std::shared_ptr<zcore::BaseModel> pretty_model(const std::string& text) {
  return model_of("x.kicad_mod", text);
}

}  // namespace padscope::test
