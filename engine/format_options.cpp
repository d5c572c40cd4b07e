#include "engine/format_options.h"

namespace srctdy {

FormatOptions StartupFormatOptions(const std::string& startupFolder) {
    FormatOptions options;
    options.templatePath = startupFolder + "/FileTitle.txt";
    return options;
}

} // namespace srctdy
