#pragma once

#include <string>
#include <string_view>

namespace srctdy {

// A file or folder name as the user should read it, in UTF-8: each path component taken as
// UTF-8 where it is valid UTF-8, else converted from code page 932 where it is valid there,
// else left as its bytes (the display replaces what it cannot read). For display only: every
// file operation keeps the name's own bytes.
std::string DisplayName(std::string_view bytes);

} // namespace srctdy
