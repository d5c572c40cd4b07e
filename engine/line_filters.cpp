#include "engine/line_filters.h"

#include "engine/cp932.h"
#include "engine/encoded_text.h"
#include "engine/line_writer.h"
#include "platform/string_table.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace srctdy {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// line becomes raw without the white space at both ends, copied once.
void AssignTrimmed(std::string& line, std::string_view raw) {
    size_t end = raw.size();
    while (end > 0 && IsBlank(raw[end - 1]))
        --end;
    size_t begin = 0;
    while (begin < end && IsBlank(raw[begin]))
        ++begin;
    line.clear();
    line.append(raw.data() + begin, end - begin);
}

// Each full-width space becomes two ASCII spaces. Most lines hold no byte that can begin one
// and are passed over by one memchr.
void FullWidthSpacesToAscii(TextEncoding encoding, std::string& line) {
    const std::string_view space = encoded::FullWidthSpace(encoding);
    char* p = line.data();
    const size_t n = line.size();
    if (!std::memchr(p, space[0], n))
        return;
    if (encoding == TextEncoding::Utf8) {
        encoded::ReplaceAll(encoding, line, space, "  ");
        return;
    }
    // Code page 932: the same length, in place.
    for (size_t i = 0; i < n;) {
        if (p[i] == space[0] && i + 1 < n && p[i + 1] == space[1]) {
            p[i] = p[i + 1] = ' ';
            i += 2;
        } else {
            i += cp932::CharLength(line, i);
        }
    }
}

// The definition comments in the file's encoding, converted once.
const std::array<std::string, 6>& DefinitionComments(TextEncoding encoding) {
    static const std::array<std::string, 6> cp932Comments = [] {
        std::array<std::string, 6> out;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = cp932::FromUtf8(text::kDefinitionComments[i]).value_or("");
        return out;
    }();
    static const std::array<std::string, 6> utf8Comments = [] {
        std::array<std::string, 6> out;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = text::kDefinitionComments[i];
        return out;
    }();
    return encoding == TextEncoding::Utf8 ? utf8Comments : cp932Comments;
}

// The options' texts as this file needs them.
struct Texts {
    std::string_view search;
    std::string_view replace;
    std::string_view condition;
};
Texts TextsOf(const FormatOptions& options, const FileContext& file) {
    if (file.texts)
        return {file.texts->searchText, file.texts->replaceText, file.texts->conditionText};
    return {options.searchText, options.replaceText, options.conditionText};
}

// Conditional-block deletion: true when the line is dropped.
bool DropsConditionalBlock(std::string_view conditionText, ConversionState& state) {
    if (StartsWith(state.rawLine, "#endif")) {
        if (state.inIfBlock) {
            state.inIfBlock = false;
            return true;
        }
    } else if (state.inIfBlock) {
        return true;
    }
    // A plain byte search: the condition may stand anywhere, even inside "#if" itself.
    if (StartsWith(state.rawLine, "#if") &&
        state.rawLine.find(conditionText) != std::string::npos) {
        state.inIfBlock = true;
        return true;
    }
    return false;
}

void ReplaceSearchText(const Texts& texts, const FileContext& file, ConversionState& state) {
    if (texts.replace == "%filename%") {
        if (StartsWith(state.rawLine, texts.search))
            encoded::ReplaceAll(file.encoding, state.line, texts.search, file.nameOnly);
    } else if (texts.replace == "%date%") {
        encoded::ReplaceAll(file.encoding, state.line, texts.search, file.dateText);
    } else {
        encoded::ReplaceAll(file.encoding, state.line, texts.search, texts.replace);
    }
}

} // namespace

LineFate ApplyLineFilters(const FormatOptions& options, const FileContext& file,
                          ConversionState& state, LineWriter& out) {
    const Texts texts = TextsOf(options, file);
    if (options.deleteConditionalBlocks && DropsConditionalBlock(texts.condition, state))
        return LineFate::Drop;
    if (options.deleteMatchingLines && StartsWith(state.rawLine, texts.search))
        return LineFate::Drop;

    if (options.trimBlanks)
        AssignTrimmed(state.line, state.rawLine);
    else
        state.line.assign(state.rawLine);
    if (options.fullWidthToHalfWidth)
        FullWidthSpacesToAscii(file.encoding, state.line);
    if (options.deleteEmptyLines && state.line.empty())
        return LineFate::Drop;
    if (options.collapseEmptyLines && state.line.empty() && ++state.blankRun >= 2)
        return LineFate::Drop;

    if (options.insertDefinitionComments && !options.insertHeaderTemplate &&
        !state.definitionsInserted && StartsWith(state.rawLine, "#include")) {
        for (const std::string& comment : DefinitionComments(file.encoding))
            out.writeLine(comment);
        state.definitionsInserted = true;
    }

    if (options.replaceOrDelete && !texts.search.empty())
        ReplaceSearchText(texts, file, state);
    return LineFate::Continue;
}

std::string TodayText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%4d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    return buffer;
}

} // namespace srctdy
