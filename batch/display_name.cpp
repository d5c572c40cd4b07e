#include "batch/display_name.h"

#include "engine/cp932.h"
#include "engine/utf8.h"

namespace srctdy {

std::string DisplayName(std::string_view bytes) {
    std::string shown;
    // Component by component: a tree may hold a Shift-JIS folder inside a UTF-8 one.
    while (true) {
        const size_t slash = bytes.find('/');
        const std::string_view part = bytes.substr(0, slash);
        if (utf8::IsValid(part))
            shown.append(part);
        else
            shown.append(cp932::ToUtf8(part).value_or(std::string(part)));
        if (slash == std::string_view::npos)
            return shown;
        shown += '/';
        bytes.remove_prefix(slash + 1);
    }
}

} // namespace srctdy
