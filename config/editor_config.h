#pragma once

#include "config/project_config.h"

#include <string>
#include <vector>

namespace srctdy {

// The EditorConfig properties of the file at path (absolute) that the conversion follows,
// as settings: indent_style and indent_size (2, 4, 8 or tab), end_of_line (lf, crlf),
// charset (utf-8, utf-8-bom) and trim_trailing_whitespace. Other properties and values that
// fit no option are left alone, as EditorConfig asks. Their origin names the property
// ("(.editorconfig indent_style)"). Returns "" or an error naming the .editorconfig file and
// its line.
std::string ReadEditorConfig(const std::string& path, std::vector<OptionSetting>& settings);

} // namespace srctdy
