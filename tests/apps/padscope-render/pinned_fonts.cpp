#include <cstdlib>

namespace {

// Before main: fontconfig reads the variable when the application object
// first asks for a font. The render tool started by the tests inherits it.
[[maybe_unused]] const bool fonts_pinned =
    setenv("FONTCONFIG_FILE", PADSCOPE_RENDER_FONTS_CONF, 1) == 0;

}  // namespace
