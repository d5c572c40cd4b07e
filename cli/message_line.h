#pragma once

#include <ostream>
#include <string_view>

namespace srctdy {

// Writes a message as the command line reports it: one line, prefixed with the path of the
// file it concerns (line breaks inside the message become spaces, so that tools can read it),
// in the language of the locale (CliText).
void WriteMessageLine(std::ostream& out, std::string_view path, std::string_view message);

} // namespace srctdy
