#pragma once

#include "engine/format_options.h"

#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

// Everything about one file's conversion that the command line, a .srctdy.toml or an
// .editorconfig can set. Member initialisers are the start-up defaults.
struct ConversionOptions {
    FormatOptions format;
    ConvertSettings settings;
    std::string encoding = "auto"; // how sources are read and written: auto, cp932 or utf-8
    bool byteOrderMark = false;    // utf-8 with the mark added where it is missing
};

// A value as a layer gives it. Its kind matters to a .srctdy.toml (trim = "yes" is refused);
// the command line gives texts, and booleans for its flags.
struct OptionValue {
    enum class Kind { Boolean, Number, Text };
    Kind kind = Kind::Text;
    std::string text; // "true" / "false", decimal digits, or the text itself (UTF-8)

    // false: turns its option off ("replace = false", --no-replace).
    bool turnsOff() const { return kind == Kind::Boolean && text == "false"; }
};

// How the command line spells a conversion option.
enum class CliForm {
    Flag,          // --KEY, no value (true)
    NegatableFlag, // --KEY (true) and --no-KEY (false)
    Value,         // --KEY=VALUE
    OptionalValue, // --KEY (true) or --KEY=VALUE
};

struct ConversionOptionSpec {
    std::string_view key; // the .srctdy.toml key and the long option without "--"
    CliForm form;
};

// Every conversion option, in the order --print-config shows them.
const std::vector<ConversionOptionSpec>& ConversionOptionTable();
const ConversionOptionSpec* FindConversionOption(std::string_view key);

// Applies one option by key. Returns "" when applied, else the reason it was refused,
// written to follow the key ("must be 2, 4, 8, tab or off"). Besides the table's keys it
// takes "charset" (utf-8 or utf-8-bom), which only an .editorconfig gives.
std::string ApplyOption(std::string_view key, const OptionValue& value, ConversionOptions& options);

// Rules across options, applied once every layer is in: deleting empty lines leaves none to
// collapse.
void FinishOptions(ConversionOptions& options);

// The key and reason when a text a switched-on condition uses cannot be written in code page
// 932 (what --encoding=cp932 needs of every file); "" when all fit.
std::string CodePageTextsProblem(const FormatOptions& format);

// The value in effect for key, written as a TOML value.
std::string ShowOption(std::string_view key, const ConversionOptions& options);

// The pairs of keys of which one layer (one file, or the command line) may hold only one.
const std::vector<std::pair<std::string_view, std::string_view>>& ExclusiveOptions();

} // namespace srctdy
