#pragma once

#include <string>
#include <string_view>

namespace srctdy {

// A unified diff of two texts, as `diff -u` prints it: "--- a/PATH", "+++ b/PATH", hunks
// with `context` lines around each change. Lines are compared as bytes with their line ends,
// so a changed line end alone is a changed line. Empty when the texts are equal.
std::string UnifiedDiff(std::string_view before, std::string_view after, std::string_view path,
                        int context = 3);

} // namespace srctdy
