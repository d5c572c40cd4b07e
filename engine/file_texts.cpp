#include "engine/file_texts.h"

#include "engine/cp932.h"
#include "engine/utf8.h"

#include <algorithm>

namespace srctdy {
namespace {

// One text in the other encoding; false when it cannot be written there.
bool Convert(const std::string& text, TextEncoding to, std::string& out) {
    if (to == TextEncoding::Cp932) {
        auto converted = cp932::FromUtf8(text);
        out = converted.value_or(text);
        return converted.has_value();
    }
    out = cp932::ToUtf8(text).value_or(text);
    return true;
}

struct CachedTexts {
    std::string search, replace, condition; // the options' texts the entry was made from
    TextEncoding from = TextEncoding::Cp932;
    std::shared_ptr<const FileTexts> texts;
    bool writable[3] = {true, true, true}; // search, replace, condition
    bool made = false;
};

} // namespace

bool TextsFor(const FormatOptions& options, TextEncoding encoding,
              std::shared_ptr<const FileTexts>& texts, std::string& unwritable) {
    texts.reset();
    if (options.textEncoding == encoding)
        return true;
    // One entry per target encoding: a mixed tree switches between the two without
    // converting again.
    thread_local CachedTexts cache[2];
    CachedTexts& entry = cache[encoding == TextEncoding::Utf8 ? 1 : 0];
    if (!entry.made || entry.from != options.textEncoding || entry.search != options.searchText ||
        entry.replace != options.replaceText || entry.condition != options.conditionText) {
        auto made = std::make_shared<FileTexts>();
        entry.writable[0] = Convert(options.searchText, encoding, made->searchText);
        entry.writable[1] = Convert(options.replaceText, encoding, made->replaceText);
        entry.writable[2] = Convert(options.conditionText, encoding, made->conditionText);
        entry.search = options.searchText;
        entry.replace = options.replaceText;
        entry.condition = options.conditionText;
        entry.from = options.textEncoding;
        entry.texts = std::move(made);
        entry.made = true;
    }
    texts = entry.texts;
    const bool used[3] = {options.replaceOrDelete || options.deleteMatchingLines,
                          options.replaceOrDelete != 0, options.deleteConditionalBlocks != 0};
    const std::string* original[3] = {&options.searchText, &options.replaceText,
                                      &options.conditionText};
    for (int i = 0; i < 3; ++i) {
        if (used[i] && !entry.writable[i]) {
            unwritable = *original[i];
            return false;
        }
    }
    return true;
}

std::string NameOnlyFor(std::string_view path, TextEncoding encoding) {
    const size_t slash = path.find_last_of('/');
    const std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
    // ASCII is the same in both encodings: most names need no converter, whose opening
    // takes a lock that threads contend for.
    if (std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; }))
        return name;
    if (encoding == TextEncoding::Cp932)
        return cp932::FromUtf8(name).value_or(name);
    if (utf8::IsValid(name))
        return name;
    return cp932::ToUtf8(name).value_or(name);
}

} // namespace srctdy
