#include "engine/line_filters.h"

#include "engine/cp932.h"
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

// Each full-width space (0x81 0x40) becomes two ASCII spaces, in place. Most lines hold no
// 0x81 byte at all and are passed over by one memchr.
void FullWidthSpacesToAscii(std::string& line) {
    char* p = line.data();
    const size_t n = line.size();
    if (!std::memchr(p, 0x81, n))
        return;
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c == 0x81 && i + 1 < n && p[i + 1] == 0x40) {
            p[i] = p[i + 1] = ' ';
            i += 2;
        } else {
            i += cp932::IsLeadByte(c) && i + 1 < n ? 2 : 1;
        }
    }
}

// The definition comments as code page 932 bytes, converted once.
const std::array<std::string, 6>& DefinitionComments() {
    static const std::array<std::string, 6> comments = [] {
        std::array<std::string, 6> out;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = cp932::FromUtf8(text::kDefinitionComments[i]).value_or("");
        return out;
    }();
    return comments;
}

// Conditional-block deletion: true when the line is dropped.
bool DropsConditionalBlock(const FormatOptions& options, ConversionState& state) {
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
        state.rawLine.find(options.conditionText) != std::string::npos) {
        state.inIfBlock = true;
        return true;
    }
    return false;
}

void ReplaceSearchText(const FormatOptions& options, const FileContext& file,
                       ConversionState& state) {
    if (options.replaceText == "%filename%") {
        if (StartsWith(state.rawLine, options.searchText))
            cp932::ReplaceAll(state.line, options.searchText, file.nameOnly);
    } else if (options.replaceText == "%date%") {
        cp932::ReplaceAll(state.line, options.searchText, file.dateText);
    } else {
        cp932::ReplaceAll(state.line, options.searchText, options.replaceText);
    }
}

} // namespace

LineFate ApplyLineFilters(const FormatOptions& options, const FileContext& file,
                          ConversionState& state, LineWriter& out) {
    if (options.deleteConditionalBlocks && DropsConditionalBlock(options, state))
        return LineFate::Drop;
    if (options.deleteMatchingLines && StartsWith(state.rawLine, options.searchText))
        return LineFate::Drop;

    if (options.trimBlanks)
        AssignTrimmed(state.line, state.rawLine);
    else
        state.line.assign(state.rawLine);
    if (options.fullWidthToHalfWidth)
        FullWidthSpacesToAscii(state.line);
    if (options.deleteEmptyLines && state.line.empty())
        return LineFate::Drop;
    if (options.collapseEmptyLines && state.line.empty() && ++state.blankRun >= 2)
        return LineFate::Drop;

    if (options.insertDefinitionComments && !options.insertHeaderTemplate &&
        !state.definitionsInserted && StartsWith(state.rawLine, "#include")) {
        for (const std::string& comment : DefinitionComments())
            out.writeLine(comment);
        state.definitionsInserted = true;
    }

    if (options.replaceOrDelete && !options.searchText.empty())
        ReplaceSearchText(options, file, state);
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
