#include "engine/encoded_text.h"

namespace srctdy::encoded {

size_t Find(TextEncoding encoding, std::string_view text, std::string_view needle, size_t from) {
    if (encoding == TextEncoding::Cp932)
        return cp932::Find(text, needle, from);
    return from > text.size() ? std::string_view::npos : text.find(needle, from);
}

bool ReplaceAll(TextEncoding encoding, std::string& text, std::string_view from,
                std::string_view to) {
    if (encoding == TextEncoding::Cp932)
        return cp932::ReplaceAll(text, from, to);
    if (from.empty())
        return false;
    size_t at = text.find(from);
    if (at == std::string::npos)
        return false;
    for (; at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return true;
}

} // namespace srctdy::encoded
