#include "cli/message_line.h"

#include "platform/message_catalogue.h"

namespace srctdy {

void WriteMessageLine(std::ostream& out, std::string_view path, std::string_view message) {
    out << path << ": ";
    for (char c : CliText(message))
        out << (c == '\n' ? ' ' : c);
    out << '\n';
}

} // namespace srctdy
