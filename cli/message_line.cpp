#include "cli/message_line.h"

namespace srctdy {

void WriteMessageLine(std::ostream& out, std::string_view path, std::string_view message) {
    out << path << ": ";
    for (char c : message)
        out << (c == '\n' ? ' ' : c);
    out << '\n';
}

} // namespace srctdy
