#include "platform/message_catalogue.h"

#include "platform/string_table.h"

#include <clocale>
#include <libintl.h>
#include <unistd.h>

namespace srctdy {

namespace {

constexpr const char* kDomain = "srctdy";

std::string Translate(std::string_view msgid) {
    if (msgid.empty())
        return {}; // gettext's empty id stands for the catalogue's header
    const std::string id(msgid);
    return dgettext(kDomain, id.c_str());
}

// Whether told is the table text pattern, its "%s" (if any) filled in; arg receives the
// filling.
bool Matches(std::string_view told, std::string_view pattern, std::string& arg) {
    const size_t at = pattern.find("%s");
    if (at == std::string_view::npos)
        return told == pattern;
    const std::string_view head = pattern.substr(0, at), tail = pattern.substr(at + 2);
    if (told.size() < head.size() + tail.size() || !told.starts_with(head) || !told.ends_with(tail))
        return false;
    arg = told.substr(head.size(), told.size() - head.size() - tail.size());
    return true;
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
    std::string arg;
    for (const text::CliWording& wording : text::kCliWordings) {
        if (Matches(text, wording.table, arg))
            return FormatText(Translate(wording.cli), arg);
    }
    return Translate(text);
}

} // namespace srctdy
