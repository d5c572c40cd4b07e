#include "platform/string_table.h"

namespace srctdy {

std::string FormatText(std::string_view text, std::string_view arg) {
    std::string out(text);
    auto at = out.find("%s");
    if (at != std::string::npos)
        out.replace(at, 2, arg);
    return out;
}

} // namespace srctdy
