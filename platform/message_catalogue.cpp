#include "platform/message_catalogue.h"

#include "platform/string_table.h"

#include <clocale>
#include <libintl.h>
#include <unistd.h>
#include <vector>

namespace srctdy {

namespace {

constexpr const char* kDomain = "srctdy";

std::string Translate(std::string_view msgid) {
    if (msgid.empty())
        return {}; // gettext's empty id stands for the catalogue's header
    const std::string id(msgid);
    return dgettext(kDomain, id.c_str());
}

// Whether told is pattern with each "%s" filled in (FormatText, one after the other); args
// receive the fillings. The first filling is a path and takes what is ambiguous: the fixed
// parts between the fillings are sought from the end.
bool Matches(std::string_view told, std::string_view pattern, std::vector<std::string>& args) {
    std::vector<std::string_view> parts; // the fixed text around and between the "%s"
    for (size_t from = 0;;) {
        const size_t at = pattern.find("%s", from);
        parts.push_back(pattern.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos)
            break;
        from = at + 2;
    }
    if (parts.size() == 1)
        return told == pattern;
    const std::string_view head = parts.front(), tail = parts.back();
    if (told.size() < head.size() + tail.size() || !told.starts_with(head) || !told.ends_with(tail))
        return false;
    size_t begin = head.size(), end = told.size() - tail.size();
    args.assign(parts.size() - 1, {});
    for (size_t i = parts.size() - 2; i > 0; --i) {
        const std::string_view part = parts[i];
        const size_t at = end - begin < part.size() ? std::string_view::npos
                                                    : told.rfind(part, end - part.size());
        if (at == std::string_view::npos || at < begin)
            return false;
        args[i] = told.substr(at + part.size(), end - at - part.size());
        end = at;
    }
    args.front() = told.substr(begin, end - begin);
    return true;
}

std::string Fill(std::string text, const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        text = FormatText(text, arg);
    return text;
}

} // namespace

std::string LocaleFolderBesideProgram() {
    std::string exe(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
    if (n <= 0 || static_cast<size_t>(n) >= exe.size())
        return {};
    exe.resize(static_cast<size_t>(n));
    return exe.substr(0, exe.rfind('/')) + "/../share/locale";
}

void OpenMessageCatalogue(const std::string& localeFolder) {
    std::setlocale(LC_MESSAGES, "");
    if (!localeFolder.empty())
        bindtextdomain(kDomain, localeFolder.c_str());
    // The table and the terminal speak UTF-8 whatever the locale's character set.
    bind_textdomain_codeset(kDomain, "UTF-8");
}

std::string CliText(std::string_view text) {
    std::vector<std::string> args;
    for (const text::CliWording& wording : text::kCliWordings) {
        if (Matches(text, wording.table, args))
            return Fill(Translate(wording.cli), args);
    }
    for (std::string_view pattern : text::kCliFilledTexts) {
        if (Matches(text, pattern, args))
            return Fill(Translate(pattern), args);
    }
    return Translate(text);
}

} // namespace srctdy
