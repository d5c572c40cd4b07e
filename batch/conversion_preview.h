#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace srctdy {

class Prompter;
struct FormatOptions;
struct ConvertSettings;

// What converting the file at path would change, as the unified diff that `srctdy-cli --diff`
// prints for it (headers naming label). Empty when the conversion changes nothing; nothing
// when the file cannot be read or the conversion is refused, the reason told to prompter.
// Converts in memory and writes nothing.
std::optional<std::string> ConversionDiff(const std::string& path, std::string_view label,
                                          const FormatOptions& options,
                                          const ConvertSettings& settings, Prompter& prompter);

// text (bytes of a source file or a diff of one) as UTF-8 for display: as it is when it is
// valid UTF-8, otherwise each line read as code page 932 (a line that is neither keeps its
// bytes, for the display to replace).
std::string DisplayText(std::string_view text);

} // namespace srctdy
