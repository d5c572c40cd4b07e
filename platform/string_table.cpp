#include "platform/string_table.h"

namespace srctdy {

std::string FormatText(std::string_view text, std::string_view arg) {
    std::string out(text);
    auto at = out.find("%s");
    if (at != std::string::npos)
        out.replace(at, 2, arg);
    return out;
}

std::string FormatText(std::string_view text, std::initializer_list<std::string_view> args) {
    std::string out;
    auto arg = args.begin();
    size_t from = 0;
    // The text is searched, never what was put in: a "%s" in an argument stays as it is.
    for (size_t at; arg != args.end() && (at = text.find("%s", from)) != std::string_view::npos;
         ++arg) {
        out.append(text.substr(from, at - from)).append(*arg);
        from = at + 2;
    }
    return out.append(text.substr(from));
}

} // namespace srctdy
