#pragma once

#include "engine/format_options.h"
#include "engine/text_encoding.h"

#include <memory>
#include <string>
#include <string_view>

namespace srctdy {

// The three texts of the options in the encoding of the file they are used on.
struct FileTexts {
    std::string searchText;
    std::string replaceText;
    std::string conditionText;
};

// The options' texts in encoding; null when they are in it already (nothing to convert).
// Made once per encoding and shared while the texts stay the same (per thread). False, with
// the text that cannot be written in encoding put into unwritable, when a text that a switched
// on condition uses cannot. A code page 932 text that is not valid is kept as it is.
bool TextsFor(const FormatOptions& options, TextEncoding encoding,
              std::shared_ptr<const FileTexts>& texts, std::string& unwritable);

// The name for %filename% and the template's ".c" line: the last path component in encoding.
// For code page 932 it is converted from UTF-8 where it can be; for UTF-8 it is taken as it is
// when it is valid UTF-8, else converted from code page 932. Otherwise its bytes stay.
std::string NameOnlyFor(std::string_view path, TextEncoding encoding = TextEncoding::Cp932);

} // namespace srctdy
